// The installer end to end on POSIX: each case of the shared table runs the
// built orvexinst as a user would, in a sandbox of its own (system directory
// and registry hive), and checks the exit code, the message boxes on standard
// error and the hive afterwards.
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e/cases.h"
#include "platform/win32.h"
#include "support/testutil.h"

namespace {

const char kDeviceKey[] = "SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0";
const char kOtherKey[] = "SOFTWARE\\Orvex\\Setup";

std::string HexList(const std::string &bytes) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
        out += (i ? "," : "") + std::string(pair);
    }
    return out;
}

// One value as a REGEDIT4 line.
std::string RegLine(const e2e::Value &v) {
    std::string line = "\"" + v.name + "\"=";
    if (v.type == e2e::kRegDword && v.bytes.size() == 4) {
        char hex[16];
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = n << 8 | static_cast<unsigned char>(v.bytes[i]);
        snprintf(hex, sizeof hex, "dword:%08x", n);
        return line + hex;
    }
    if (v.type == e2e::kRegSz && !v.bytes.empty() && v.bytes.back() == '\0' &&
        v.bytes.find('\0') == v.bytes.size() - 1)
        return line + "\"" + v.bytes.substr(0, v.bytes.size() - 1) + "\"";
    if (v.type == e2e::kRegBinary)
        return line + "hex:" + HexList(v.bytes);
    char prefix[16];
    snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(v.type));
    return line + prefix + HexList(v.bytes);
}

std::string Hive(const e2e::Case &c) {
    std::string hive = "REGEDIT4\r\n\r\n";
    hive += "[HKEY_LOCAL_MACHINE\\" + std::string(kOtherKey) + "]\r\n\"Version\"=\"1.0\"\r\n\r\n";
    if (c.key != e2e::Key::kMissing) {
        hive += "[HKEY_LOCAL_MACHINE\\" + std::string(kDeviceKey) + "]\r\n";
        for (const e2e::Value &v : c.before)
            hive += RegLine(v) + "\r\n";
        hive += "\r\n";
    }
    return hive;
}

// A directory whose absolute path has exactly `length` characters, below base.
std::string DirectoryOfLength(const std::string &base, size_t length) {
    std::string path = base;
    while (path.size() < length) {
        size_t room = length - path.size() - 1; // minus the separator
        size_t part = room > 40 ? 40 : room;
        if (room > 40 && room - 40 < 2)
            part = room - 2; // leave at least one character for the next part
        path += "/" + std::string(part, 'd');
        if (mkdir(path.c_str(), 0755) != 0)
            ADD_FAILURE() << "mkdir " << path << ": " << strerror(errno);
    }
    return path;
}

struct RunResult {
    int exit_code = -1;
    std::string stderr_text;
};

// Runs orvexinst with the sandbox's environment; as an unprivileged user when
// asked (root may write any file, so a protected hive needs another user).
RunResult RunInstaller(const std::string &system_dir, const std::string &hive, bool unprivileged,
                       const std::string &stderr_path) {
    RunResult run;
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || dup2(fd, 2) < 0)
            _exit(126);
        setenv("ORVEX_SYSTEM_DIR", system_dir.c_str(), 1);
        setenv("ORVEX_REGISTRY", hive.c_str(), 1);
        if (unprivileged && geteuid() == 0) {
            execl("/usr/bin/setpriv", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                  ORVEXINST_PATH, static_cast<char *>(nullptr));
        } else {
            execl(ORVEXINST_PATH, "orvexinst", static_cast<char *>(nullptr));
        }
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        ADD_FAILURE() << "cannot run " << ORVEXINST_PATH;
        return run;
    }
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.stderr_text = ReadBytes(stderr_path);
    return run;
}

// Checks one value of the device key by name, type, size and bytes.
void ExpectValue(const char *file, int line, HKEY key, const e2e::Value &expected) {
    ::testing::ScopedTrace trace(file, line, "value " + expected.name);
    unsigned char data[256];
    memset(data, 0xCD, sizeof data);
    DWORD type = 0xDEAD;
    DWORD size = sizeof data;
    LONG status = RegQueryValueExA(key, expected.name.c_str(), nullptr, &type, data, &size);
    ASSERT_EQ(status, ERROR_SUCCESS) << "missing";
    EXPECT_EQ(type, expected.type);
    ASSERT_EQ(size, expected.bytes.size());
    EXPECT_EQ(HexList(std::string(reinterpret_cast<char *>(data), size)), HexList(expected.bytes));
    EXPECT_EQ(data[size], 0xCD) << "written beyond the reported size";
}
#define EXPECT_VALUE(key, value) ExpectValue(__FILE__, __LINE__, key, value)

void ExpectAbsent(const char *file, int line, HKEY key, const std::string &name) {
    ::testing::ScopedTrace trace(file, line, "value " + name);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND)
        << "should not exist";
}
#define EXPECT_ABSENT(key, name) ExpectAbsent(__FILE__, __LINE__, key, name)

class Installer : public ::testing::TestWithParam<e2e::Case> {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvex-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        sandbox = pattern;
        chmod(sandbox.c_str(), 0755); // readable by the unprivileged run
    }
    void TearDown() override {
        unsetenv("ORVEX_REGISTRY");
        std::string command = "rm -rf '" + sandbox + "'";
        EXPECT_EQ(system(command.c_str()), 0);
    }
    std::string sandbox;
};

TEST_P(Installer, Case) {
    const e2e::Case &c = GetParam();
    std::string system_dir = sandbox + "/system32";
    if (c.system_dir_length != 0) {
        system_dir = DirectoryOfLength(sandbox, c.system_dir_length);
        ASSERT_EQ(system_dir.size(), c.system_dir_length);
    } else {
        ASSERT_EQ(mkdir(system_dir.c_str(), 0755), 0);
    }
    std::string dat_path = system_dir + "/ORVEXRES.DAT";
    if (c.data_file == e2e::DataFile::kText) {
        WriteBytes(dat_path, c.dat);
    } else if (c.data_file == e2e::DataFile::kDirectory) {
        ASSERT_EQ(mkdir(dat_path.c_str(), 0755), 0);
    }

    std::string hive = sandbox + "/registry.reg";
    std::string hive_before = Hive(c);
    WriteBytes(hive, hive_before);
    std::string stderr_path = sandbox + "/stderr.txt";
    WriteBytes(stderr_path, "");
    bool denied = c.key == e2e::Key::kDenied;
    if (denied) {
        chmod(hive.c_str(), 0444);
        chmod(sandbox.c_str(), 0555);
    }

    RunResult run = RunInstaller(system_dir, hive, denied, stderr_path);
    chmod(sandbox.c_str(), 0755);

    EXPECT_EQ(run.exit_code, c.exit_code);
    std::string messages;
    for (const std::string &m : c.messages)
        messages += m + "\n";
    EXPECT_EQ(run.stderr_text, messages);

    if (c.untouched) {
        EXPECT_EQ(ReadBytes(hive), hive_before) << "the hive must be left as it was";
    }
    if (c.key == e2e::Key::kMissing)
        return;
    setenv("ORVEX_REGISTRY", hive.c_str(), 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey, 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    for (const e2e::Value &v : c.after) {
        EXPECT_VALUE(key, v);
    }
    for (const std::string &name : c.absent) {
        EXPECT_ABSENT(key, name);
    }
    RegCloseKey(key);

    HKEY other = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOtherKey, 0, KEY_QUERY_VALUE, &other),
              ERROR_SUCCESS)
        << "another key of the hive was lost";
    EXPECT_VALUE(other, e2e::Sz("Version", "1.0"));
    RegCloseKey(other);
}

INSTANTIATE_TEST_SUITE_P(Table, Installer, ::testing::ValuesIn(e2e::Cases()),
                         [](const ::testing::TestParamInfo<e2e::Case> &info) {
                             return std::string(info.param.name);
                         });

// No data file at all, and nothing else either: the registry file need not exist.
TEST(InstallerWithoutHive, LoadFailureNeedsNoRegistry) {
    ScratchDir dir;
    RunResult run = RunInstaller(dir.path(), dir.File("none.reg"), false, dir.File("stderr.txt"));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.stderr_text, std::string(e2e::LoadFailure()) + "\n");
    EXPECT_FALSE(FileExists(dir.File("none.reg")));
}

} // namespace
