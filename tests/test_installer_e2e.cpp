// The installer end to end on POSIX: each case of the shared table runs the
// built orvexinst (or orvexsetup with the case's arguments) as a user would,
// in a sandbox of its own (system directory and registry hive), and checks the
// exit code, the message boxes on standard error and the hive afterwards.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
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

// The hive of the case with a line after it that no REGEDIT4 reader accepts.
std::string UnparsableHive(const e2e::Case &c) {
    return Hive(c) + "this line is neither a key nor a value\r\n";
}

// The names in a directory, sorted.
std::vector<std::string> Entries(const std::string &path) {
    std::vector<std::string> names;
    DIR *dir = opendir(path.c_str());
    if (dir == nullptr) {
        ADD_FAILURE() << "opendir " << path << ": " << strerror(errno);
        return names;
    }
    while (const dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// A small file system of its own (tmpfs), unmounted at the end of the scope.
class SmallFileSystem {
  public:
    explicit SmallFileSystem(const std::string &path) : path_(path) {
        if (mkdir(path.c_str(), 0755) != 0)
            error_ = std::string("mkdir: ") + strerror(errno);
        else if (mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0)
            error_ = std::string("mount: ") + strerror(errno);
        else
            mounted_ = true;
    }
    ~SmallFileSystem() {
        if (mounted_) {
            EXPECT_EQ(umount2(path_.c_str(), MNT_DETACH), 0) << strerror(errno);
        }
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;
    bool mounted() const { return mounted_; }
    const std::string &error() const { return error_; }

    // Take every byte left: write until the file system refuses.
    void Fill() const {
        int fd = open((path_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << strerror(errno);
        static const char block[4096] = {0};
        for (size_t size = sizeof block; size > 0; size /= 2)
            while (write(fd, block, size) == static_cast<ssize_t>(size)) {
            }
        EXPECT_EQ(errno, ENOSPC);
        close(fd);
    }

  private:
    std::string path_;
    std::string error_;
    bool mounted_ = false;
};

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

// The program a case runs and its arguments, as argv.
std::vector<std::string> CommandOf(const e2e::Case &c) {
    std::vector<std::string> argv = {c.program == e2e::Program::kSetup ? ORVEXSETUP_PATH
                                                                       : ORVEXINST_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    return argv;
}

// Runs the command with the sandbox's environment; as an unprivileged user
// when asked (root may write any file, so a protected hive needs another user).
RunResult RunInstaller(const std::vector<std::string> &command, const std::string &system_dir,
                       const std::string &hive, bool unprivileged, const std::string &stderr_path) {
    RunResult run;
    std::vector<std::string> argv = command;
    if (unprivileged && geteuid() == 0)
        argv.insert(argv.begin(),
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    std::vector<char *> args;
    for (std::string &a : argv)
        args.push_back(&a[0]);
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || dup2(fd, 2) < 0)
            _exit(126);
        setenv("ORVEX_SYSTEM_DIR", system_dir.c_str(), 1);
        setenv("ORVEX_REGISTRY", hive.c_str(), 1);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        ADD_FAILURE() << "cannot run " << command[0];
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
    if (c.data_file == e2e::DataFile::kDirectory) {
        ASSERT_EQ(mkdir(dat_path.c_str(), 0755), 0);
    } else if (c.data_file != e2e::DataFile::kMissing) {
        WriteBytes(dat_path, c.dat);
    }
    bool unreadable = c.data_file == e2e::DataFile::kUnreadable;
    if (unreadable) {
        ASSERT_EQ(chmod(dat_path.c_str(), 0), 0);
    }

    // A full disk: the hive on a small file system of its own, filled up.
    std::string hive_dir = sandbox;
    std::unique_ptr<SmallFileSystem> small;
    if (c.key == e2e::Key::kDiskFull) {
        hive_dir = sandbox + "/small";
        small.reset(new SmallFileSystem(hive_dir));
        if (!small->mounted())
            GTEST_SKIP() << "no small file system for the hive (" << small->error() << ")";
    }
    // A hive that may be written but not replaced: in a sticky directory, both
    // belonging to root, the installer run as another user.
    bool sticky = c.key == e2e::Key::kNotReplaceable;
    if (sticky) {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root, to give the hive to another user than the installer's";
        hive_dir = sandbox + "/shared";
        ASSERT_EQ(mkdir(hive_dir.c_str(), 0755), 0);
        ASSERT_EQ(chmod(hive_dir.c_str(), 01777), 0);
    }
    std::string hive = hive_dir + "/registry.reg";
    std::string hive_before = c.key == e2e::Key::kUnparsable ? UnparsableHive(c) : Hive(c);
    WriteBytes(hive, hive_before);
    if (sticky) {
        ASSERT_EQ(chmod(hive.c_str(), 0666), 0);
    }
    if (small)
        small->Fill();
    std::string stderr_path = sandbox + "/stderr.txt";
    WriteBytes(stderr_path, "");
    bool denied = c.key == e2e::Key::kDenied;
    if (denied) {
        chmod(hive.c_str(), 0444);
        chmod(sandbox.c_str(), 0555);
    }

    if (c.data_file == e2e::DataFile::kVanishes) {
        RunResult first = RunInstaller(CommandOf(c), system_dir, hive, false, stderr_path);
        ASSERT_EQ(first.exit_code, 1) << "the first run must install: " << first.stderr_text;
        EXPECT_EQ(first.stderr_text, "");
        hive_before = ReadBytes(hive);
        ASSERT_EQ(unlink(dat_path.c_str()), 0);
    }
    RunResult run =
        RunInstaller(CommandOf(c), system_dir, hive, denied || unreadable || sticky, stderr_path);
    chmod(sandbox.c_str(), 0755);

    EXPECT_EQ(run.exit_code, c.exit_code);
    std::string messages;
    for (const std::string &m : c.messages)
        messages += m + "\n";
    EXPECT_EQ(run.stderr_text, messages);

    if (c.untouched || c.data_file == e2e::DataFile::kVanishes) {
        EXPECT_EQ(ReadBytes(hive), hive_before) << "the hive must be left as it was";
    }
    if (small || sticky) {
        std::vector<std::string> entries = {"registry.reg"};
        if (small)
            entries.insert(entries.begin(), "filler");
        EXPECT_EQ(Entries(hive_dir), entries) << "a temporary file was left beside the hive";
    }
    if (c.key == e2e::Key::kMissing || c.key == e2e::Key::kUnparsable)
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
    RunResult run = RunInstaller({ORVEXINST_PATH}, dir.path(), dir.File("none.reg"), false,
                                 dir.File("stderr.txt"));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.stderr_text, std::string(e2e::LoadFailure()) + "\n");
    EXPECT_FALSE(FileExists(dir.File("none.reg")));
}

// The system directory cannot be told: no ORVEX_SYSTEM_DIR, and a current
// directory that has been removed. That counts as a data file that cannot be
// read.
TEST(InstallerWithoutSystemDirectory, CountsAsALoadFailure) {
    ScratchDir dir;
    std::string gone = dir.File("gone");
    ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
    std::string stderr_path = dir.File("stderr.txt");
    std::string hive = dir.File("none.reg");
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || dup2(fd, 2) < 0 || chdir(gone.c_str()) != 0 || rmdir(gone.c_str()) != 0)
            _exit(126);
        unsetenv("ORVEX_SYSTEM_DIR");
        setenv("ORVEX_REGISTRY", hive.c_str(), 1);
        execl(ORVEXINST_PATH, "orvexinst", static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(stderr_path), std::string(e2e::LoadFailure()) + "\n");
    EXPECT_FALSE(FileExists(hive));
}

} // namespace
