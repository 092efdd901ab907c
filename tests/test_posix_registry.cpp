// The POSIX registry stand-in: the local-machine hive kept in a REGEDIT4
// file (platform/registry.cpp).

#include "platform/win32.h"

#include <gtest/gtest.h>

#include "support/failmalloc.h"
#include "support/testutil.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

// Allocation failure inside the layer: the layer's strings and vectors get
// their memory from operator new, which the C++ library would take from a
// malloc the link-time wrapper of the test support (failmalloc.h) does not
// see. The program's operator new is therefore a plain malloc-based one of
// this file, whose malloc is the wrapped one: arming the wrapper makes the nth
// allocation of the layer fail, and operator new turns that into bad_alloc.
void *operator new(std::size_t size) {
    void *p = malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void *operator new[](std::size_t size) {
    return operator new(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    return malloc(size ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept {
    return operator new(size, tag);
}
// Out of line, so that the compiler does not pair a new expression with the
// free() here and warn about a mismatch: they belong together.
static __attribute__((noinline)) void ReleaseBlock(void *p) noexcept {
    free(p);
}
void operator delete(void *p) noexcept {
    ReleaseBlock(p);
}
void operator delete[](void *p) noexcept {
    ReleaseBlock(p);
}
void operator delete(void *p, std::size_t) noexcept {
    ReleaseBlock(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    ReleaseBlock(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept {
    ReleaseBlock(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept {
    ReleaseBlock(p);
}

namespace {

const char kDevice[] = "SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0";
const char kDeviceSection[] =
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]";
const char kOther[] = "SOFTWARE\\Other";
const char kOtherSection[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]";

// The account the unprivileged checks run as when the tests run as root.
const uid_t kNobody = 65534;

using Bytes = std::vector<BYTE>;

// ---------------------------------------------------------------------------
// Values

Bytes MakeSz(const std::string &text) {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    return b;
}

Bytes MakeDword(DWORD v) {
    return Bytes{static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                 static_cast<BYTE>(v >> 24)};
}

Bytes MakeRaw(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

LONG SetRegValue(HKEY h, const char *name, DWORD type, const Bytes &data) {
    return RegSetValueExA(h, name, 0, type, data.empty() ? nullptr : data.data(),
                          static_cast<DWORD>(data.size()));
}

// Checks that the value exists with exactly this type and these bytes: both
// through a size query and through a read into a larger, sentinel-filled
// buffer, of which nothing past the value may be written.
void ExpectValue(const char *file, int line, HKEY h, const char *name, DWORD type,
                 const Bytes &want) {
    testing::ScopedTrace trace(
        file, line, std::string("value ") + (name ? '"' + std::string(name) + '"' : "@"));
    DWORD t = 0xdeadbeef;
    DWORD size = 0xdeadbeef;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, name, nullptr, &t, nullptr, &size));
    EXPECT_EQ(type, t);
    EXPECT_EQ(want.size(), size);

    const BYTE sentinel = 0xA5;
    Bytes buf(want.size() + 16, sentinel);
    DWORD cb = static_cast<DWORD>(buf.size());
    t = 0xdeadbeef;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, name, nullptr, &t, buf.data(), &cb));
    EXPECT_EQ(type, t);
    ASSERT_EQ(want.size(), cb);
    EXPECT_EQ(want, Bytes(buf.begin(), buf.begin() + cb));
    for (size_t i = cb; i < buf.size(); ++i)
        EXPECT_EQ(sentinel, buf[i]) << "byte " << i << " written past the value";
}

#define EXPECT_REG_VALUE(h, name, type, bytes) ExpectValue(__FILE__, __LINE__, h, name, type, bytes)

void ExpectNoValue(const char *file, int line, HKEY h, const char *name) {
    testing::ScopedTrace trace(file, line, std::string("value ") + (name ? name : "@"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(h, name, nullptr, nullptr, nullptr, &size));
}

#define EXPECT_NO_REG_VALUE(h, name) ExpectNoValue(__FILE__, __LINE__, h, name)

// ---------------------------------------------------------------------------
// Files

// Joins lines, each followed by eol.
std::string JoinLines(std::initializer_list<std::string> lines, const char *eol = "\r\n") {
    std::string out;
    for (const std::string &l : lines) {
        out += l;
        out += eol;
    }
    return out;
}

std::vector<std::string> ListDirectory(const std::string &dir) {
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return names;
    while (struct dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    closedir(d);
    return names;
}

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    return remove(path);
}

// ---------------------------------------------------------------------------
// Running a check in a child process, possibly without privileges. The child
// reports a list of numbers through a pipe; the parent asserts on them.

struct ChildResult {
    bool ran = false;     // the child reported
    bool skipped = false; // privileges could not be dropped
    std::vector<long> values;
};

const long kCannotDrop = -77;

ChildResult RunInChild(bool drop_privileges, const std::function<std::vector<long>()> &check) {
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return result;
    }
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        close(fds[0]);
        std::vector<long> out;
        if (drop_privileges && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            out.push_back(kCannotDrop);
        } else {
            out = check();
        }
        size_t bytes = out.size() * sizeof(long);
        if (write(fds[1], out.data(), bytes) != static_cast<ssize_t>(bytes))
            _exit(2);
        _exit(0);
    }
    close(fds[1]);
    long v;
    while (read(fds[0], &v, sizeof v) == static_cast<ssize_t>(sizeof v))
        result.values.push_back(v);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ADD_FAILURE() << "the child process failed (status " << status << ")";
        return result;
    }
    result.ran = true;
    result.skipped = result.values.size() == 1 && result.values[0] == kCannotDrop;
    return result;
}

// ---------------------------------------------------------------------------
// Fixture: a fresh directory per test holding the hive named by
// ORVEX_REGISTRY.

class RegistryTest : public testing::Test {
  protected:
    void SetUp() override {
        const char *base = getenv("ORVEX_TEST_TMP");
        std::string root = (base && *base) ? base : "/tmp";
        mkdir(root.c_str(), 0755); // may exist already
        std::string templ = root + "/registry.XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        ASSERT_NE(nullptr, mkdtemp(buf.data())) << templ << ": " << strerror(errno);
        dir_ = buf.data();
        // Reachable by the unprivileged child processes.
        ASSERT_EQ(0, chmod(dir_.c_str(), 0755));
        hive_ = dir_ + "/registry.reg";

        const char *old = getenv("ORVEX_REGISTRY");
        had_old_hive_ = old != nullptr;
        if (old)
            old_hive_ = old;
        setenv("ORVEX_REGISTRY", hive_.c_str(), 1);
    }

    void TearDown() override {
        if (had_old_hive_)
            setenv("ORVEX_REGISTRY", old_hive_.c_str(), 1);
        else
            unsetenv("ORVEX_REGISTRY");
        if (!dir_.empty()) {
            chmod(dir_.c_str(), 0755);
            nftw(dir_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
        }
    }

    // A hive with the device key and a second, empty key before it.
    void WriteDeviceHive() {
        WriteBytes(hive_, JoinLines({"REGEDIT4", "", kOtherSection, "", kDeviceSection, ""}));
    }

    HKEY Open(const char *sub_key, REGSAM sam) {
        HKEY h = nullptr;
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, sub_key, 0, sam, &h);
        EXPECT_EQ(ERROR_SUCCESS, rc) << "opening " << sub_key;
        return rc == ERROR_SUCCESS ? h : nullptr;
    }

    LONG OpenStatus(const char *sub_key, REGSAM sam) {
        HKEY h = nullptr;
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, sub_key, 0, sam, &h);
        if (rc == ERROR_SUCCESS)
            RegCloseKey(h);
        else
            EXPECT_EQ(nullptr, h);
        return rc;
    }

    // Makes path owned by the account the unprivileged checks run as.
    void GiveToChild(const std::string &path) {
        if (geteuid() == 0) {
            ASSERT_EQ(0, chown(path.c_str(), kNobody, kNobody)) << path;
        }
    }

    std::string dir_;
    std::string hive_;
    bool had_old_hive_ = false;
    std::string old_hive_;
};

class RegistryRoundTrip : public RegistryTest {};
class RegistryFileFormat : public RegistryTest {};
class RegistryParse : public RegistryTest {};
class RegistryErrors : public RegistryTest {};
class RegistryPermissions : public RegistryTest {};

const REGSAM kReadWrite = KEY_QUERY_VALUE | KEY_SET_VALUE;

// ---------------------------------------------------------------------------
// Values go to the file and come back unchanged.

TEST_F(RegistryRoundTrip, DwordStringAndBinaryComeBackThroughTheFile) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    const Bytes blob{0x25, 0x00, 0x00, 0x00, 0xff, 0x80};
    ASSERT_EQ(ERROR_SUCCESS,
              SetRegValue(h, "DefaultSettings.XResolution", REG_DWORD, MakeDword(0x1e)));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "InstalledDisplayDrivers", REG_SZ, MakeSz("k5300")));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Timings", REG_BINARY, blob));

    EXPECT_REG_VALUE(h, "DefaultSettings.XResolution", REG_DWORD, MakeDword(0x1e));
    EXPECT_REG_VALUE(h, "InstalledDisplayDrivers", REG_SZ, MakeSz("k5300"));
    EXPECT_REG_VALUE(h, "Timings", REG_BINARY, blob);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(h));

    // A fresh handle reads what the file holds.
    HKEY again = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, again);
    EXPECT_REG_VALUE(again, "DefaultSettings.XResolution", REG_DWORD, MakeDword(0x1e));
    EXPECT_REG_VALUE(again, "InstalledDisplayDrivers", REG_SZ, MakeSz("k5300"));
    EXPECT_REG_VALUE(again, "Timings", REG_BINARY, blob);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));

    // Nothing but the hive is left in its directory.
    EXPECT_EQ(std::vector<std::string>{"registry.reg"}, ListDirectory(dir_));
}

TEST_F(RegistryRoundTrip, ReplacingAValueKeepsOnlyTheNewTypeAndBytes) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Mode", REG_SZ, MakeSz("a rather long text value")));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Mode", REG_DWORD, MakeDword(7)));
    EXPECT_REG_VALUE(h, "Mode", REG_DWORD, MakeDword(7));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Mode", REG_BINARY, Bytes{}));
    EXPECT_REG_VALUE(h, "Mode", REG_BINARY, Bytes{});
    RegCloseKey(h);
}

TEST_F(RegistryRoundTrip, DefaultValueIsNamedByNullOrEmptyName) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, nullptr, REG_SZ, MakeSz("Orvex K5300")));
    EXPECT_REG_VALUE(h, "", REG_SZ, MakeSz("Orvex K5300"));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "", REG_SZ, MakeSz("replaced")));
    EXPECT_REG_VALUE(h, nullptr, REG_SZ, MakeSz("replaced"));
    EXPECT_NE(std::string::npos, ReadBytes(hive_).find("\r\n@=\"replaced\"\r\n"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(h, nullptr));
    EXPECT_NO_REG_VALUE(h, "");
    RegCloseKey(h);
}

TEST_F(RegistryRoundTrip, EscapedCharactersSurvive) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    const std::string text = "C:\\WINNT\\\"quoted\"\\ end\\";
    const char *name = "name \\with\\ \"quotes\"";
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, name, REG_SZ, MakeSz(text)));
    EXPECT_NE(std::string::npos,
              ReadBytes(hive_).find(
                  "\"name \\\\with\\\\ "
                  "\\\"quotes\\\"\"=\"C:\\\\WINNT\\\\\\\"quoted\\\"\\\\ end\\\\\"\r\n"));
    RegCloseKey(h);

    HKEY again = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, again);
    EXPECT_REG_VALUE(again, name, REG_SZ, MakeSz(text));
    RegCloseKey(again);
}

TEST_F(RegistryRoundTrip, StringsThatAreNotPlainTextKeepTheirBytes) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    const Bytes no_nul = MakeRaw("abc");
    const Bytes embedded_nul = MakeRaw(std::string("a\0b\0", 4));
    const Bytes line_break = MakeSz("one\r\ntwo");
    const Bytes empty;
    const Bytes empty_text = MakeSz("");
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "NoNul", REG_SZ, no_nul));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "EmbeddedNul", REG_SZ, embedded_nul));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "LineBreak", REG_SZ, line_break));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Empty", REG_SZ, empty));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "EmptyText", REG_SZ, empty_text));
    RegCloseKey(h);

    const std::string file = ReadBytes(hive_);
    EXPECT_NE(std::string::npos, file.find("\"NoNul\"=hex(1):61,62,63\r\n"));
    EXPECT_NE(std::string::npos, file.find("\"Empty\"=hex(1):\r\n"));
    EXPECT_NE(std::string::npos, file.find("\"EmptyText\"=\"\"\r\n"));

    HKEY again = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, again);
    EXPECT_REG_VALUE(again, "NoNul", REG_SZ, no_nul);
    EXPECT_REG_VALUE(again, "EmbeddedNul", REG_SZ, embedded_nul);
    EXPECT_REG_VALUE(again, "LineBreak", REG_SZ, line_break);
    EXPECT_REG_VALUE(again, "Empty", REG_SZ, empty);
    EXPECT_REG_VALUE(again, "EmptyText", REG_SZ, empty_text);
    RegCloseKey(again);
}

TEST_F(RegistryRoundTrip, OtherTypesAreKeptByNumber) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    const Bytes multi = MakeRaw(std::string("k5300\0vga\0\0", 11));
    const Bytes expand = MakeSz("%SystemRoot%\\System32");
    const Bytes short_dword{0x01, 0x02};
    const Bytes odd{0xde, 0xad};
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Multi", REG_MULTI_SZ, multi));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Expand", REG_EXPAND_SZ, expand));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "None", REG_NONE, Bytes{}));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "ShortDword", REG_DWORD, short_dword));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Odd", 0x12345678u, odd));
    RegCloseKey(h);

    const std::string file = ReadBytes(hive_);
    EXPECT_NE(std::string::npos, file.find("\"None\"=hex(0):\r\n"));
    EXPECT_NE(std::string::npos, file.find("\"ShortDword\"=hex(4):01,02\r\n"));
    EXPECT_NE(std::string::npos, file.find("\"Odd\"=hex(12345678):de,ad\r\n"));

    HKEY again = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, again);
    EXPECT_REG_VALUE(again, "Multi", REG_MULTI_SZ, multi);
    EXPECT_REG_VALUE(again, "Expand", REG_EXPAND_SZ, expand);
    EXPECT_REG_VALUE(again, "None", REG_NONE, Bytes{});
    EXPECT_REG_VALUE(again, "ShortDword", REG_DWORD, short_dword);
    EXPECT_REG_VALUE(again, "Odd", 0x12345678u, odd);
    RegCloseKey(again);
}

TEST_F(RegistryRoundTrip, LongBinaryValueIsWrappedAndReadBack) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    Bytes big(700);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<BYTE>(i * 7 + 3);
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "EDID", REG_BINARY, big));
    RegCloseKey(h);

    const std::string file = ReadBytes(hive_);
    size_t start = 0;
    int continued = 0;
    while (start < file.size()) {
        size_t end = file.find("\r\n", start);
        ASSERT_NE(std::string::npos, end) << "line without CR LF at " << start;
        std::string line = file.substr(start, end - start);
        EXPECT_LE(line.size(), 80u) << line;
        if (!line.empty() && line.back() == '\\')
            ++continued;
        start = end + 2;
    }
    EXPECT_GT(continued, 0);

    HKEY again = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, again);
    EXPECT_REG_VALUE(again, "EDID", REG_BINARY, big);
    RegCloseKey(again);
}

TEST_F(RegistryRoundTrip, HiveDefaultsToRegistryRegInTheCurrentDirectory) {
    WriteDeviceHive();
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir_.c_str()));
    unsetenv("ORVEX_REGISTRY");

    HKEY h = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, kReadWrite, &h);
    if (rc == ERROR_SUCCESS) {
        EXPECT_EQ(ERROR_SUCCESS, SetRegValue(h, "Here", REG_DWORD, MakeDword(1)));
        RegCloseKey(h);
    }
    ASSERT_EQ(0, chdir(cwd));
    ASSERT_EQ(ERROR_SUCCESS, rc);
    EXPECT_NE(std::string::npos, ReadBytes(hive_).find("\"Here\"=dword:00000001\r\n"));
}

TEST_F(RegistryRoundTrip, WritingThroughASymlinkUpdatesItsTargetAndKeepsTheMode) {
    WriteDeviceHive();
    ASSERT_EQ(0, chmod(hive_.c_str(), 0640));
    const std::string link = dir_ + "/link.reg";
    ASSERT_EQ(0, symlink(hive_.c_str(), link.c_str()));
    setenv("ORVEX_REGISTRY", link.c_str(), 1);

    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(ERROR_SUCCESS, SetRegValue(h, "Linked", REG_DWORD, MakeDword(2)));
    RegCloseKey(h);

    struct stat st;
    ASSERT_EQ(0, lstat(link.c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(0, stat(hive_.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_NE(std::string::npos, ReadBytes(hive_).find("\"Linked\"=dword:00000002\r\n"));
}

// ---------------------------------------------------------------------------
// The exact text written.

TEST_F(RegistryFileFormat, SmallHiveIsWrittenAsRegedit) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    ASSERT_EQ(ERROR_SUCCESS,
              SetRegValue(h, "DefaultSettings.BitsPerPel", REG_DWORD, MakeDword(16)));
    ASSERT_EQ(ERROR_SUCCESS,
              SetRegValue(h, "Device Description", REG_SZ, MakeSz("Orvex \"K5300\" at C:\\WINNT")));
    ASSERT_EQ(ERROR_SUCCESS,
              SetRegValue(h, "HardwareInformation.MemorySize", REG_BINARY, Bytes{0, 0, 0x20, 0}));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "InstalledDisplayDrivers", REG_MULTI_SZ,
                                         MakeRaw(std::string("k5300\0\0", 7))));
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, nullptr, REG_SZ, MakeSz("Orvex")));
    // Replacing keeps the value where it was.
    ASSERT_EQ(ERROR_SUCCESS,
              SetRegValue(h, "DefaultSettings.BitsPerPel", REG_DWORD, MakeDword(0xABCDEF)));
    RegCloseKey(h);

    const std::string expected = "REGEDIT4\r\n"
                                 "\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
                                 "\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\"
                                 "Device0]\r\n"
                                 "\"DefaultSettings.BitsPerPel\"=dword:00abcdef\r\n"
                                 "\"Device Description\"=\"Orvex \\\"K5300\\\" at C:\\\\WINNT\"\r\n"
                                 "\"HardwareInformation.MemorySize\"=hex:00,00,20,00\r\n"
                                 "\"InstalledDisplayDrivers\"=hex(7):6b,35,33,30,30,00,00\r\n"
                                 "@=\"Orvex\"\r\n"
                                 "\r\n";
    EXPECT_EQ(expected, ReadBytes(hive_));
}

TEST_F(RegistryFileFormat, LongHexBreaksAfterACommaWithinEightyColumns) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection}));
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    Bytes blob(40);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<BYTE>(i);
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "Blob", REG_BINARY, blob));
    RegCloseKey(h);

    const std::string expected =
        "REGEDIT4\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]\r\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
        "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\r\n"
        "\r\n";
    EXPECT_EQ(expected, ReadBytes(hive_));
}

TEST_F(RegistryFileFormat, ForeignKeysAndValuesArePreservedAfterASet) {
    // Hand-written: LF line ends, comments, odd spacing, another root.
    WriteBytes(hive_,
               JoinLines({"REGEDIT4", "", "; kept by hand", kOtherSection, "@=\"default text\"",
                          "\"Paths\"=hex(7):61,00,62,00,00,00",
                          "\"Nothing\"=hex(0):", "\"Expand\"=hex(2):25,00", "", kDeviceSection,
                          "\"Keep\"=dword:00000001", "", "[HKEY_CURRENT_USER\\Software\\Orvex]",
                          "\"User\"=\"u\"", "", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]"},
                         "\n"));
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "New", REG_DWORD, MakeDword(5)));
    EXPECT_REG_VALUE(h, "Keep", REG_DWORD, MakeDword(1));
    EXPECT_REG_VALUE(h, "New", REG_DWORD, MakeDword(5));
    RegCloseKey(h);

    HKEY other = Open(kOther, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, other);
    EXPECT_REG_VALUE(other, nullptr, REG_SZ, MakeSz("default text"));
    EXPECT_REG_VALUE(other, "Paths", REG_MULTI_SZ, MakeRaw(std::string("a\0b\0\0\0", 6)));
    EXPECT_REG_VALUE(other, "Nothing", REG_NONE, Bytes{});
    EXPECT_REG_VALUE(other, "Expand", REG_EXPAND_SZ, MakeRaw(std::string("%\0", 2)));
    RegCloseKey(other);
    EXPECT_EQ(ERROR_SUCCESS, OpenStatus("SOFTWARE\\Empty", KEY_QUERY_VALUE));

    // Sections and values stay in their order, written canonically.
    const std::string expected =
        "REGEDIT4\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
        "@=\"default text\"\r\n"
        "\"Paths\"=hex(7):61,00,62,00,00,00\r\n"
        "\"Nothing\"=hex(0):\r\n"
        "\"Expand\"=hex(2):25,00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]\r\n"
        "\"Keep\"=dword:00000001\r\n"
        "\"New\"=dword:00000005\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Orvex]\r\n"
        "\"User\"=\"u\"\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]\r\n"
        "\r\n";
    EXPECT_EQ(expected, ReadBytes(hive_));
}

// ---------------------------------------------------------------------------
// What the reader accepts.

TEST_F(RegistryParse, ContinuationLinesAndLooseHexAreRead) {
    WriteBytes(hive_,
               JoinLines({"REGEDIT4", "", kDeviceSection, "\"Blob\"=hex:01,02,\\", "  03,04,\\",
                          "  05", "\"Multi\"=hex(7):41,00,\\", "      42,00,00,00",
                          "\"Upper\"=hex:AB, CD ,eF,0", "\"Spaces\"=hex:01, 02,   03",
                          "\"Dw\"=dword:0000ABCD", "\"Type\"=hex(A):ff", "\"Empty\"=hex:"}));
    HKEY h = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, h);
    EXPECT_REG_VALUE(h, "Blob", REG_BINARY, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_REG_VALUE(h, "Multi", REG_MULTI_SZ, (Bytes{0x41, 0, 0x42, 0, 0, 0}));
    EXPECT_REG_VALUE(h, "Upper", REG_BINARY, (Bytes{0xab, 0xcd, 0xef, 0}));
    EXPECT_REG_VALUE(h, "Spaces", REG_BINARY, (Bytes{1, 2, 3}));
    EXPECT_REG_VALUE(h, "Dw", REG_DWORD, MakeDword(0xabcd));
    EXPECT_REG_VALUE(h, "Type", 10u, Bytes{0xff});
    EXPECT_REG_VALUE(h, "Empty", REG_BINARY, Bytes{});
    RegCloseKey(h);
}

TEST_F(RegistryParse, CrLfAndLfLineEndsReadAlike) {
    for (const char *eol : {"\r\n", "\n"}) {
        SCOPED_TRACE(eol[0] == '\r' ? "CR LF" : "LF");
        WriteBytes(hive_, JoinLines({"\xEF\xBB\xBFREGEDIT4", "", "; comment", kDeviceSection,
                                     "\"Text\"=\"a b\"", "", "; another", "\"Blob\"=hex:01,\\",
                                     "  02", "@=dword:00000003", "", ""},
                                    eol));
        HKEY h = Open(kDevice, KEY_QUERY_VALUE);
        ASSERT_NE(nullptr, h);
        EXPECT_REG_VALUE(h, "Text", REG_SZ, MakeSz("a b"));
        EXPECT_REG_VALUE(h, "Blob", REG_BINARY, (Bytes{1, 2}));
        EXPECT_REG_VALUE(h, nullptr, REG_DWORD, MakeDword(3));
        RegCloseKey(h);
    }
}

TEST_F(RegistryParse, KeyPathsAndValueNamesIgnoreCase) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "",
                                 "[hkey_local_machine\\system\\currentcontrolset\\SERVICES\\K5300\\"
                                 "device0]",
                                 "\"MixedCase\"=dword:00000001", "\"After\"=dword:00000002"}));
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    EXPECT_REG_VALUE(h, "mixedcase", REG_DWORD, MakeDword(1));
    EXPECT_REG_VALUE(h, "MIXEDCASE", REG_DWORD, MakeDword(1));
    // Setting under another spelling replaces the value in place.
    ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "MIXEDcase", REG_DWORD, MakeDword(9)));
    EXPECT_REG_VALUE(h, "MixedCase", REG_DWORD, MakeDword(9));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(h, "AFTER"));
    RegCloseKey(h);

    EXPECT_EQ(
        JoinLines({"REGEDIT4", "",
                   "[hkey_local_machine\\system\\currentcontrolset\\SERVICES\\K5300\\device0]",
                   "\"MixedCase\"=dword:00000009", ""}),
        ReadBytes(hive_));
}

TEST_F(RegistryParse, EscapesInHandWrittenNamesAndTexts) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection, "\"a\\\\b\\\"c\"=\"x\\\\y\\\"z\"",
                                 "\"plain\" = \"spaced\""}));
    HKEY h = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, h);
    EXPECT_REG_VALUE(h, "a\\b\"c", REG_SZ, MakeSz("x\\y\"z"));
    EXPECT_REG_VALUE(h, "plain", REG_SZ, MakeSz("spaced"));
    RegCloseKey(h);
}

TEST_F(RegistryParse, UnparsableFilesGiveBadDbAndAreNeverTouched) {
    const std::string section = "[HKEY_LOCAL_MACHINE\\X]";
    struct Case {
        const char *what;
        std::string text;
    };
    const Case cases[] = {
        {"empty file", ""},
        {"another header", JoinLines({"REGEDIT5", "", section})},
        {"header not first", JoinLines({"", "REGEDIT4", "", section})},
        {"value outside a section", JoinLines({"REGEDIT4", "", "\"A\"=dword:00000001", section})},
        {"stray line", JoinLines({"REGEDIT4", "", section, "hello"})},
        {"stray continuation", JoinLines({"REGEDIT4", "", section, "\"A\"=hex:01", "  02"})},
        {"bad escape", JoinLines({"REGEDIT4", "", section, "\"A\"=\"x\\ny\""})},
        {"bad escape in name", JoinLines({"REGEDIT4", "", section, "\"\\A\"=\"x\""})},
        {"unterminated text", JoinLines({"REGEDIT4", "", section, "\"A\"=\"abc"})},
        {"junk after text", JoinLines({"REGEDIT4", "", section, "\"A\"=\"x\" y"})},
        {"missing =", JoinLines({"REGEDIT4", "", section, "\"A\"dword:00000001"})},
        {"bad hex digit", JoinLines({"REGEDIT4", "", section, "\"A\"=hex:0g"})},
        {"three hex digits", JoinLines({"REGEDIT4", "", section, "\"A\"=hex:123"})},
        {"trailing comma", JoinLines({"REGEDIT4", "", section, "\"A\"=hex:01,"})},
        {"empty hex item", JoinLines({"REGEDIT4", "", section, "\"A\"=hex:01,,02"})},
        {"bad type number", JoinLines({"REGEDIT4", "", section, "\"A\"=hex(z):01"})},
        {"unclosed type", JoinLines({"REGEDIT4", "", section, "\"A\"=hex(7:01"})},
        {"long dword", JoinLines({"REGEDIT4", "", section, "\"A\"=dword:000000001"})},
        {"bad dword", JoinLines({"REGEDIT4", "", section, "\"A\"=dword:xyz"})},
        {"unknown kind", JoinLines({"REGEDIT4", "", section, "\"A\"=word:1"})},
        {"value removal", JoinLines({"REGEDIT4", "", section, "\"A\"=-"})},
        {"key removal", JoinLines({"REGEDIT4", "", section, "[-HKEY_LOCAL_MACHINE\\Y]"})},
        {"unclosed section", JoinLines({"REGEDIT4", "", section, "[HKEY_LOCAL_MACHINE\\Y"})},
        {"continuation at the end", JoinLines({"REGEDIT4", "", section, "\"A\"=hex:01,\\"})},
    };
    // The same hive without the faults opens: the failures below are the
    // parser's.
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", section, "\"A\"=hex:01"}));
    ASSERT_EQ(ERROR_SUCCESS, OpenStatus("X", kReadWrite));

    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(hive_, c.text);
        EXPECT_EQ(ERROR_BADDB, OpenStatus("X", KEY_QUERY_VALUE));
        EXPECT_EQ(ERROR_BADDB, OpenStatus("X", kReadWrite));
        EXPECT_EQ(c.text, ReadBytes(hive_));
    }
}

TEST_F(RegistryParse, HiveSpoiledAfterOpenIsNotOverwritten) {
    WriteDeviceHive();
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    const std::string spoiled = JoinLines({"REGEDIT4", "", kDeviceSection, "garbage"});
    WriteBytes(hive_, spoiled);
    EXPECT_EQ(ERROR_BADDB, SetRegValue(h, "A", REG_DWORD, MakeDword(1)));
    EXPECT_EQ(ERROR_BADDB, RegDeleteValueA(h, "A"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_BADDB, RegQueryValueExA(h, "A", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(spoiled, ReadBytes(hive_));
    RegCloseKey(h);
}

// ---------------------------------------------------------------------------
// Errors the installer relies on.

TEST_F(RegistryErrors, MissingFileKeyOrRootGivesFileNotFound) {
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenStatus(kDevice, KEY_QUERY_VALUE));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenStatus(kDevice, kReadWrite));

    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection, "",
                                 "[HKEY_CURRENT_USER\\Software\\Orvex]"}));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              OpenStatus("SYSTEM\\CurrentControlSet\\Services\\k5300\\Device1", KEY_QUERY_VALUE));
    // A parent without a section of its own is not a key here.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              OpenStatus("SYSTEM\\CurrentControlSet\\Services\\k5300", KEY_QUERY_VALUE));
    EXPECT_EQ(ERROR_SUCCESS, OpenStatus(kDevice, KEY_QUERY_VALUE));

    // Only the local-machine hive is kept.
    HKEY h = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvex", 0, KEY_QUERY_VALUE, &h));
    EXPECT_EQ(nullptr, h);
}

TEST_F(RegistryErrors, QueryingValues) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection, "\"Name\"=\"0123456789\"",
                                 "\"Empty\"=hex:"}));
    HKEY h = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, h);
    const Bytes want = MakeSz("0123456789");

    SCOPED_TRACE("missing value");
    DWORD type = 0xdeadbeef;
    DWORD size = 99;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(h, "Absent", nullptr, &type, nullptr, &size));
    EXPECT_NO_REG_VALUE(h, nullptr);

    SCOPED_TRACE("size query without a buffer");
    type = 0xdeadbeef;
    size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Name", nullptr, &type, nullptr, &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(want.size(), size);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Name", nullptr, nullptr, nullptr, nullptr));

    SCOPED_TRACE("buffer too small");
    Bytes buf(32, 0xA5);
    const DWORD room = 4;
    size = room;
    type = 0xdeadbeef;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(h, "Name", nullptr, &type, buf.data(), &size));
    EXPECT_EQ(want.size(), size);
    EXPECT_EQ(REG_SZ, type);
    for (size_t i = room; i < buf.size(); ++i)
        EXPECT_EQ(0xA5, buf[i]) << "byte " << i << " written past the buffer";

    SCOPED_TRACE("buffer exactly large enough");
    size = static_cast<DWORD>(want.size());
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Name", nullptr, nullptr, buf.data(), &size));
    EXPECT_EQ(want, Bytes(buf.begin(), buf.begin() + size));

    SCOPED_TRACE("empty value");
    size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Empty", nullptr, &type, buf.data(), &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ(REG_BINARY, type);

    SCOPED_TRACE("buffer without a size");
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExA(h, "Name", nullptr, nullptr, buf.data(), nullptr));
    RegCloseKey(h);
}

TEST_F(RegistryErrors, DeletingValues) {
    // Hand-written, so that any rewrite would change the bytes.
    const std::string text = JoinLines(
        {"REGEDIT4", "", "; by hand", kDeviceSection, "\"One\"=dword:1", "\"Two\" = hex:02", ""},
        "\n");
    WriteBytes(hive_, text);
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(h, "Three"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(h, nullptr));
    EXPECT_EQ(text, ReadBytes(hive_));

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(h, "One"));
    EXPECT_NO_REG_VALUE(h, "One");
    EXPECT_REG_VALUE(h, "Two", REG_BINARY, Bytes{2});
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(h, "One"));
    RegCloseKey(h);
}

TEST_F(RegistryErrors, AccessNotAskedForIsRefused) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection, "\"A\"=dword:00000001"}));
    const std::string before = ReadBytes(hive_);

    HKEY reader = Open(kDevice, KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, reader);
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetRegValue(reader, "A", REG_DWORD, MakeDword(2)));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(reader, "A"));
    EXPECT_EQ(before, ReadBytes(hive_));
    RegCloseKey(reader);

    HKEY writer = Open(kDevice, KEY_SET_VALUE);
    ASSERT_NE(nullptr, writer);
    DWORD size = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(writer, "A", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, SetRegValue(writer, "A", REG_DWORD, MakeDword(2)));
    RegCloseKey(writer);
}

TEST_F(RegistryErrors, HandlesAndArguments) {
    WriteDeviceHive();
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, KEY_QUERY_VALUE, nullptr));

    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    const std::string before = ReadBytes(hive_);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(h, "A", 0, REG_BINARY, nullptr, 4));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, SetRegValue(h, "two\nlines", REG_DWORD, MakeDword(1)));
    EXPECT_EQ(before, ReadBytes(hive_));

    // A key opened relative to an Open key.
    HKEY parent = nullptr;
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\SYSTEM]", kDeviceSection}));
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_QUERY_VALUE, &parent));
    HKEY child = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(parent, "CurrentControlSet\\Services\\k5300\\Device0", 0,
                                           KEY_QUERY_VALUE, &child));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(child));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(parent));

    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(h));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(h));
}

TEST_F(RegistryErrors, ChangesByOtherWritersAreSeen) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection, "\"A\"=dword:00000001"}));
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    EXPECT_REG_VALUE(h, "A", REG_DWORD, MakeDword(1));

    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection, "\"A\"=dword:00000002",
                                 "\"B\"=\"new\""}));
    EXPECT_REG_VALUE(h, "A", REG_DWORD, MakeDword(2));
    EXPECT_REG_VALUE(h, "B", REG_SZ, MakeSz("new"));

    // The key's section removed by someone else.
    const std::string without = JoinLines({"REGEDIT4", "", kOtherSection});
    WriteBytes(hive_, without);
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(h, "A", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, SetRegValue(h, "A", REG_DWORD, MakeDword(3)));
    EXPECT_EQ(without, ReadBytes(hive_));

    // The whole hive removed.
    ASSERT_EQ(0, unlink(hive_.c_str()));
    EXPECT_EQ(ERROR_KEY_DELETED, SetRegValue(h, "A", REG_DWORD, MakeDword(3)));
    EXPECT_NE(0, access(hive_.c_str(), F_OK));
    RegCloseKey(h);
}

TEST_F(RegistryErrors, FailedWriteLeavesTheHiveAndNoTemporary) {
    // Files may not grow past a few bytes in the child, so the temporary
    // cannot be written.
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection, "\"A\"=dword:00000001"}));
    const std::string before = ReadBytes(hive_);
    ChildResult r = RunInChild(false, [] {
        std::vector<long> out;
        HKEY h = nullptr;
        out.push_back(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, kReadWrite, &h));
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {64, 64};
        out.push_back(setrlimit(RLIMIT_FSIZE, &lim));
        Bytes big(4096, 0x5a);
        out.push_back(SetRegValue(h, "Big", REG_BINARY, big));
        RegCloseKey(h);
        return out;
    });
    ASSERT_TRUE(r.ran);
    ASSERT_EQ(3u, r.values.size());
    EXPECT_EQ(ERROR_SUCCESS, r.values[0]);
    EXPECT_EQ(0, r.values[1]);
    EXPECT_EQ(ERROR_WRITE_FAULT, r.values[2]);
    EXPECT_EQ(before, ReadBytes(hive_));
    EXPECT_EQ(std::vector<std::string>{"registry.reg"}, ListDirectory(dir_));
}

// ---------------------------------------------------------------------------
// Permissions: checked in a child process running without privileges, since
// root is never refused.

// The child first opens for reading, which must work: a refusal for any other
// reason (an unreachable directory) would otherwise pass for the check.
std::vector<long> OpenForReadingThenWriting() {
    std::vector<long> out;
    HKEY h = nullptr;
    out.push_back(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, KEY_QUERY_VALUE, &h));
    if (h)
        RegCloseKey(h);
    h = nullptr;
    out.push_back(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, kReadWrite, &h));
    out.push_back(h == nullptr);
    if (h)
        RegCloseKey(h);
    return out;
}

TEST_F(RegistryPermissions, ReadOnlyHiveRefusesWriteAccess) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection}));
    GiveToChild(dir_); // the directory is writable, the file is not
    ASSERT_EQ(0, chmod(hive_.c_str(), 0444));
    ChildResult r = RunInChild(true, OpenForReadingThenWriting);
    ASSERT_TRUE(r.ran);
    if (r.skipped)
        GTEST_SKIP() << "cannot drop privileges";
    ASSERT_EQ(3u, r.values.size());
    EXPECT_EQ(ERROR_SUCCESS, r.values[0]) << "the child must be able to read the hive";
    EXPECT_EQ(ERROR_ACCESS_DENIED, r.values[1]);
    EXPECT_EQ(1, r.values[2]) << "no handle on failure";
}

TEST_F(RegistryPermissions, UnwritableDirectoryRefusesWriteAccess) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection}));
    GiveToChild(hive_); // the file is writable, but it cannot be replaced
    ASSERT_EQ(0, chmod(dir_.c_str(), 0555));
    ChildResult r = RunInChild(true, OpenForReadingThenWriting);
    ASSERT_TRUE(r.ran);
    if (r.skipped)
        GTEST_SKIP() << "cannot drop privileges";
    ASSERT_EQ(3u, r.values.size());
    EXPECT_EQ(ERROR_SUCCESS, r.values[0]) << "the child must be able to read the hive";
    EXPECT_EQ(ERROR_ACCESS_DENIED, r.values[1]);
    EXPECT_EQ(1, r.values[2]) << "no handle on failure";
}

TEST_F(RegistryPermissions, UnreadableHiveIsAccessDenied) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection}));
    ASSERT_EQ(0, chmod(hive_.c_str(), 0));
    const std::string hive = hive_;
    ChildResult r = RunInChild(true, [&hive] {
        struct stat st;
        HKEY h = nullptr;
        std::vector<long> out;
        out.push_back(stat(hive.c_str(), &st)); // the file is there to be seen
        out.push_back(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, KEY_QUERY_VALUE, &h));
        return out;
    });
    ASSERT_TRUE(r.ran);
    if (r.skipped)
        GTEST_SKIP() << "cannot drop privileges";
    ASSERT_EQ(2u, r.values.size());
    EXPECT_EQ(0, r.values[0]) << "the child must be able to reach the hive";
    EXPECT_EQ(ERROR_ACCESS_DENIED, r.values[1]);
}

TEST_F(RegistryPermissions, WriteRefusedAfterOpenLeavesTheHive) {
    WriteBytes(hive_, JoinLines({"REGEDIT4", "", kDeviceSection, "\"A\"=dword:00000001"}));
    GiveToChild(dir_);
    GiveToChild(hive_);
    const std::string before = ReadBytes(hive_);
    const std::string dir = dir_;
    ChildResult r = RunInChild(true, [&dir] {
        HKEY h = nullptr;
        std::vector<long> out;
        out.push_back(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, kReadWrite, &h));
        out.push_back(chmod(dir.c_str(), 0555)); // the rename can no longer be done
        out.push_back(SetRegValue(h, "A", REG_DWORD, MakeDword(2)));
        out.push_back(RegDeleteValueA(h, "A"));
        RegCloseKey(h);
        return out;
    });
    ASSERT_TRUE(r.ran);
    if (r.skipped)
        GTEST_SKIP() << "cannot drop privileges";
    ASSERT_EQ(4u, r.values.size());
    EXPECT_EQ(ERROR_SUCCESS, r.values[0]);
    EXPECT_EQ(0, r.values[1]);
    EXPECT_EQ(ERROR_ACCESS_DENIED, r.values[2]);
    EXPECT_EQ(ERROR_ACCESS_DENIED, r.values[3]);
    EXPECT_EQ(before, ReadBytes(hive_));
    EXPECT_EQ(std::vector<std::string>{"registry.reg"}, ListDirectory(dir_));
}

// ---------------------------------------------------------------------------
// Version-5 files ("Windows Registry Editor Version 5.00") as `reg export`
// writes them: UTF-16LE with a byte-order mark, or UTF-8.

// One text in UTF-8 and in UTF-16, both encoded by the compiler.
struct Tag_Both_Texts {
    std::string utf8;
    std::u16string utf16;
};
// clang-format off
#define BOTH_ENCODINGS(s) PREFIX_BOTH(s)
#define PREFIX_BOTH(s) Tag_Both_Texts{u8##s, u##s}
#define V5_DEVICE_SECTION "Windows Registry Editor Version 5.00\r\n\r\n" \
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]\r\n"
// clang-format on

struct Tag_File_Form {
    const char *what;
    bool utf16;
    const char *bom;
    bool lf_only;
};
const Tag_File_Form kForms[] = {{"UTF-16LE", true, "\xFF\xFE", false},
                                {"UTF-16LE, LF", true, "\xFF\xFE", true},
                                {"UTF-8", false, "", false},
                                {"UTF-8 with BOM, LF", false, "\xEF\xBB\xBF", true}};

// The file's bytes: the byte-order mark, then the code units as they are.
std::string MakeFile(const Tag_Both_Texts &text, const Tag_File_Form &form) {
    std::string out = form.bom;
    if (!form.utf16)
        out += text.utf8;
    for (char16_t c : form.utf16 ? text.utf16 : std::u16string()) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    if (form.lf_only) // CR is one byte in UTF-8, one unit of 0D 00 in UTF-16LE
        for (size_t at; (at = out.find(form.utf16 ? std::string("\r\0", 2) : "\r")) != out.npos;)
            out.erase(at, form.utf16 ? 2 : 1);
    return out;
}

class RegistryVersion5 : public RegistryTest {};

TEST_F(RegistryVersion5, EveryFormAndTypeReadsAsTheAnsiServicesGiveIt) {
    const Tag_Both_Texts text = BOTH_ENCODINGS(
        V5_DEVICE_SECTION
        "; a comment\r\n"
        "@=\"default\"\r\n"
        "\"MonitorType\"=\"Caf\u00e9 \u20ac \\\"17\\\" C:\\\\x \u263a\U0001F600\"\r\n"
        "\"Line\"=\"a\\nb\\r\"\r\n"
        "\"Expand\"=hex(2):25,00,41,00,25,00,5c,00,e9,00,3a,26,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,ac,20,00,00,00,00\r\n"
        "\"Qword\"=hex(b):88,77,66,55,44,33,22,11\r\n"
        "\"Count\"=dword:00000280\r\n"
        "\"Blob\"=hex:01,\\\r\n"
        "  02\r\n"
        "\"Any\"=hex(12345):01,02,03\r\n"
        "\"Sz\"=hex(1):41,00,01\r\n"
        "\"Gr\u00fc\u00dfe\"=dword:00000001\r\n"
        "\"Gone\"=\"here for a while\"\r\n"
        "\"Gone\"=-\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other\\Below]\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n");
    struct Read {
        const char *name;
        DWORD type;
        Bytes bytes;
    } const reads[] = {
        {"", REG_SZ, MakeSz("default")},
        // Characters outside the code page, each half of a pair too, read as '?'.
        {"MonitorType", REG_SZ, MakeSz("Caf\xE9 \x80 \"17\" C:\\x ???")},
        {"Line", REG_SZ, MakeSz("a\nb\r")},
        {"Expand", REG_EXPAND_SZ, MakeSz("%A%\\\xE9?")},
        {"Multi", REG_MULTI_SZ, MakeRaw(std::string("a\0b\x80\0\0", 6))},
        {"Qword", REG_QWORD, Bytes{0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}},
        {"Count", REG_DWORD, MakeDword(0x280)},
        {"Blob", REG_BINARY, Bytes{1, 2}},
        {"Any", 0x12345, Bytes{1, 2, 3}},
        {"Sz", REG_SZ, MakeRaw("A")}, // the odd last byte is dropped
        {"gr\xFC\xDF"
         "e",
         REG_DWORD, MakeDword(1)},
    };
    for (const Tag_File_Form &form : kForms) {
        SCOPED_TRACE(form.what);
        const std::string file = MakeFile(text, form);
        WriteBytes(hive_, file);
        HKEY h = Open(kDevice, KEY_QUERY_VALUE);
        ASSERT_NE(nullptr, h);
        for (const Read &r : reads)
            EXPECT_REG_VALUE(h, r.name, r.type, r.bytes);
        EXPECT_NO_REG_VALUE(h, "Gone");
        RegCloseKey(h);
        // A removed key takes the keys below it along.
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenStatus(kOther, KEY_QUERY_VALUE));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenStatus("SOFTWARE\\Other\\Below", KEY_QUERY_VALUE));
        EXPECT_EQ(file, ReadBytes(hive_));
    }
}

// Each change rewrites the one entry it concerns, in the file's encoding and
// line ends; every other byte stays.
TEST_F(RegistryVersion5, ChangesRewriteOnlyTheirEntryInEveryForm) {
    const Tag_Both_Texts before = BOTH_ENCODINGS(
        V5_DEVICE_SECTION
        "\"DefaultSettings.XResolution\"=dword:00000280\r\n"
        "\"CrtTiming\"=hex:11,11,\\\r\n"
        "  11,11\r\n"
        "\"Anmerkung \u00e9\"=\"Gr\u00fc\u00dfe \u263a\"\r\n"
        "\r\n"
        "; by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
        "\"Keep\"=hex(2):25,00,00,00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]\r\n"
        "\"Second\"  =  dword:1\r\n"
        "\r\n");
    const Tag_Both_Texts after = BOTH_ENCODINGS(
        V5_DEVICE_SECTION
        "\"DefaultSettings.XResolution\"=dword:00000400\r\n"
        "\"CrtTiming\"=hex:01,02\r\n"
        "\"Anmerkung \u00e9\"=-\r\n"
        "\r\n"
        "; by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
        "\"Keep\"=hex(2):25,00,00,00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]\r\n"
        "\"Second\"  =  dword:1\r\n"
        "\"MonitorType\"=\"Caf\u00e9 \\\"\u20ac\\\" C:\\\\\"\r\n"
        "\"Paths\"=hex(7):61,00,00,00,e9,00,00,00,00,00\r\n"
        "\"Broken\"=hex(1):61,00,0d,00,0a,00,00,00\r\n"
        "\r\n");
    const Bytes monitor = MakeSz("Caf\xE9 \"\x80\" C:\\");
    const Bytes paths = MakeRaw(std::string("a\0\xE9\0\0", 5));
    const Bytes broken = MakeSz("a\r\n");
    for (const Tag_File_Form &form : kForms) {
        SCOPED_TRACE(form.what);
        WriteBytes(hive_, MakeFile(before, form));
        HKEY h = Open(kDevice, kReadWrite);
        ASSERT_NE(nullptr, h);
        // A value that exists keeps the spelling of its name.
        EXPECT_EQ(ERROR_SUCCESS,
                  SetRegValue(h, "defaultsettings.xresolution", REG_DWORD, MakeDword(0x400)));
        // Removed and set again: the same entry, replaced twice.
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(h, "CrtTiming"));
        EXPECT_NO_REG_VALUE(h, "CrtTiming");
        EXPECT_EQ(ERROR_SUCCESS, SetRegValue(h, "CrtTiming", REG_BINARY, Bytes{1, 2}));
        EXPECT_REG_VALUE(h, "Anmerkung \xE9", REG_SZ,
                         MakeSz("Gr\xFC\xDF"
                                "e ?"));
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(h, "ANMERKUNG \xE9"));
        // New values go after the last line of the key's last section.
        EXPECT_EQ(ERROR_SUCCESS, SetRegValue(h, "MonitorType", REG_SZ, monitor));
        EXPECT_EQ(ERROR_SUCCESS, SetRegValue(h, "Paths", REG_MULTI_SZ, paths));
        EXPECT_EQ(ERROR_SUCCESS, SetRegValue(h, "Broken", REG_SZ, broken));
        EXPECT_REG_VALUE(h, "MonitorType", REG_SZ, monitor);
        EXPECT_REG_VALUE(h, "Paths", REG_MULTI_SZ, paths);
        EXPECT_REG_VALUE(h, "Broken", REG_SZ, broken);
        RegCloseKey(h);
        EXPECT_EQ(MakeFile(after, form), ReadBytes(hive_));
    }
}

// Where a change goes when the file holds a value or a key more than once, or
// ends without a line end.
TEST_F(RegistryVersion5, ChangesGoWhereAnImportTakesTheValueFrom) {
    const std::string device = V5_DEVICE_SECTION;
    const std::string a1 = "\"A\"=dword:00000001\r\n";
    const std::string a2 = "\"A\"=dword:00000002\r\n";
    const std::string removal = "[-HKEY_LOCAL_MACHINE\\SYSTEM]\r\n" + std::string(kDeviceSection);
    struct Case {
        const char *what;
        std::string before;
        const char *name; // the value set to dword 2, or removed
        bool remove;
        std::string after;
    } const cases[] = {
        {"the later of two entries", a1 + "\"a\"=dword:00000005\r\n", "A", false, a1 + a2},
        {"removal after an earlier entry", a1 + "\"B\"=hex:00\r\n", "A", true,
         "\"A\"=-\r\n\"B\"=hex:00\r\n"},
        {"a value the file removes", a1 + "\"A\"=-\r\n; end\r\n", "A", false,
         a1 + a2 + "; end\r\n"},
        {"the default value", "@=\"text\"\r\n", "", true, "@=-\r\n"},
        {"a key removed and made again", a1 + removal + "\r\n", "A", false,
         a1 + removal + "\r\n" + a2},
        {"a section without a line end", a1 + removal, "A", false, a1 + removal + "\r\n" + a2},
        {"a section ending in a CR alone", a1 + removal + "\r", "A", false,
         a1 + removal + "\r\n" + a2},
        {"an entry without a line end", "\"A\"=hex:01,\\\r\n  02", "A", false, a2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(hive_, device + c.before);
        HKEY h = Open(kDevice, kReadWrite);
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(ERROR_SUCCESS, c.remove ? RegDeleteValueA(h, c.name)
                                          : SetRegValue(h, c.name, REG_DWORD, MakeDword(2)));
        RegCloseKey(h);
        EXPECT_EQ(device + c.after, ReadBytes(hive_));
    }
}

// Monitor names whose characters the registry must keep: blanks, quotes,
// backslashes, and every byte of the ANSI code page above 0x7F (the five it
// leaves undefined too), as a value and as a value's name.
TEST_F(RegistryVersion5, MonitorNamesRoundTripInEveryFormat) {
    std::string high;
    for (int b = 0x80; b <= 0xFF; ++b)
        high += static_cast<char>(b);
    const std::string names[] = {"Generic", "  Orvex \"Pro\" 17  ", "C:\\Monitors\\\\Share\\",
                                 high};
    const std::pair<const char *, std::string> files[] = {
        {"REGEDIT4", JoinLines({"REGEDIT4", "", kDeviceSection})},
        {"UTF-16LE", MakeFile(BOTH_ENCODINGS(V5_DEVICE_SECTION), kForms[0])},
        {"UTF-8", MakeFile(BOTH_ENCODINGS(V5_DEVICE_SECTION), kForms[2])},
    };
    for (const auto &[format, file] : files) {
        SCOPED_TRACE(format);
        WriteBytes(hive_, file);
        for (const std::string &name : names) {
            HKEY h = Open(kDevice, kReadWrite);
            ASSERT_NE(nullptr, h);
            ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, "MonitorType", REG_SZ, MakeSz(name)));
            ASSERT_EQ(ERROR_SUCCESS, SetRegValue(h, name.c_str(), REG_DWORD, MakeDword(7)));
            RegCloseKey(h);
            h = Open(kDevice, KEY_QUERY_VALUE);
            ASSERT_NE(nullptr, h);
            EXPECT_REG_VALUE(h, "MonitorType", REG_SZ, MakeSz(name));
            EXPECT_REG_VALUE(h, name.c_str(), REG_DWORD, MakeDword(7));
            RegCloseKey(h);
        }
    }
    // The UTF-8 file holds the characters of the code page.
    EXPECT_NE(std::string::npos, ReadBytes(hive_).find(u8"\u20ac\u0081\u201a\u0192"));
}

TEST_F(RegistryVersion5, HostileFilesGiveBadDbAndAreNeverTouched) {
    const std::string device = V5_DEVICE_SECTION;
    const std::string utf16 =
        MakeFile(BOTH_ENCODINGS(V5_DEVICE_SECTION "\"A\"=\"x\"\r\n"), kForms[0]);
    std::string huge = device + "\"A\"=hex:";
    for (int i = 0; i < 70000; ++i)
        huge += "ab,\\\r\n  ";
    // The good files these are spoiled from open.
    for (const std::string &good : {utf16, device}) {
        WriteBytes(hive_, good);
        ASSERT_EQ(ERROR_SUCCESS, OpenStatus(kDevice, kReadWrite));
    }
    struct Case {
        const char *what;
        std::string bytes;
    } const cases[] = {
        {"UTF-16 of an odd length", utf16 + "\n"},
        {"UTF-16 without its byte-order mark", utf16.substr(2)},
        {"UTF-16 big-endian", "\xFE\xFF" + utf16.substr(2)},
        {"UTF-16 with a lone surrogate", utf16 + std::string("\"\0A\0\"\0=\0\"\0\x00\xD8\"\0", 14)},
        {"UTF-16 with a NUL", utf16 + std::string("\0\0", 2)},
        {"UTF-16 REGEDIT4",
         MakeFile(BOTH_ENCODINGS("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"), kForms[0])},
        {"UTF-16 with UTF-8 in it", utf16 + "\"B\"=\"\xC3\xA9\"\r\n"},
        {"ANSI byte in UTF-8", device + "\"A\"=\"Caf\xE9\"\r\n"},
        {"overlong UTF-8", device + "\"A\"=\"\xC0\xAF\"\r\n"},
        {"UTF-8 surrogate", device + "\"A\"=\"\xED\xA0\x80\"\r\n"},
        {"NUL in UTF-8", device + std::string("\"A\"=\"\0\"\r\n", 9)},
        {"version 4.00",
         "Windows Registry Editor Version 4.00\r\n\r\n" + std::string(kDeviceSection)},
        {"continuation at the end", device + "\"A\"=hex:01,\\\r\n"},
        {"huge hex value cut short", huge},
        {"huge hex value with a bad item", huge + "abc\r\n"},
        {"type number of nine digits", device + "\"A\"=hex(100000000):01\r\n"},
        {"value after a key removal", device + "[-HKEY_LOCAL_MACHINE\\X]\r\n\"A\"=dword:1\r\n"},
        {"removal of no key", device + "[-]\r\n"},
        {"removal with a value", device + "\"A\"=-1\r\n"},
        {"unknown escape", device + "\"A\"=\"a\\tb\"\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(hive_, c.bytes);
        EXPECT_EQ(ERROR_BADDB, OpenStatus(kDevice, KEY_QUERY_VALUE));
        EXPECT_EQ(ERROR_BADDB, OpenStatus(kDevice, kReadWrite));
        EXPECT_EQ(c.bytes, ReadBytes(hive_));
    }
    // The huge value, ended, reads and stays byte for byte.
    WriteBytes(hive_, huge + "ab\r\n");
    HKEY h = Open(kDevice, kReadWrite);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(ERROR_SUCCESS, SetRegValue(h, "Small", REG_DWORD, MakeDword(1)));
    EXPECT_REG_VALUE(h, "A", REG_BINARY, Bytes(70001, 0xab));
    RegCloseKey(h);
    EXPECT_EQ(huge + "ab\r\n\"Small\"=dword:00000001\r\n", ReadBytes(hive_));
}

// ---------------------------------------------------------------------------
// Running out of memory: every allocation of each call is made to fail in
// turn. The call reports ERROR_OUTOFMEMORY (no exception, no leak, no handle)
// and the hive is left as it was.

class RegistryOutOfMemory : public RegistryTest {};

// Each allocation of opening the device key and of each service on it, made
// to fail in turn.
void ExpectOutOfMemoryHandled(const std::string &hive, const std::string &dir) {
    bool saw_failure = false;

    SCOPED_TRACE("opening");
    for (long nth = 1;; ++nth) {
        ASSERT_LT(nth, 10000);
        HKEY h = nullptr;
        FailMallocArm(nth, false);
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, kReadWrite, &h);
        FailMallocDisarm();
        bool failed = FailMallocFailures() > 0;
        if (!failed) {
            EXPECT_EQ(ERROR_SUCCESS, rc);
            RegCloseKey(h);
            break;
        }
        saw_failure = true;
        EXPECT_EQ(ERROR_OUTOFMEMORY, rc) << "allocation " << nth;
        EXPECT_EQ(nullptr, h) << "allocation " << nth;
    }
    EXPECT_TRUE(saw_failure);

    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDevice, 0, kReadWrite, &h));
    struct Op {
        const char *what;
        std::function<LONG()> call;
    };
    BYTE buf[64];
    DWORD size = 0;
    // The test's own allocations are made before the failures are armed.
    const Bytes blob(100, 7);
    const Bytes text = MakeSz("replaced");
    const Op ops[] = {
        {"setting", [&] { return SetRegValue(h, "C", REG_BINARY, blob); }},
        {"replacing", [&] { return SetRegValue(h, "A", REG_SZ, text); }},
        {"deleting", [&] { return RegDeleteValueA(h, "B"); }},
        {"querying",
         [&] {
             size = sizeof buf;
             return RegQueryValueExA(h, "A", nullptr, nullptr, buf, &size);
         }},
    };
    for (const Op &op : ops) {
        SCOPED_TRACE(op.what);
        const std::string start = ReadBytes(hive);
        saw_failure = false;
        for (long nth = 1;; ++nth) {
            ASSERT_LT(nth, 10000);
            FailMallocArm(nth, false);
            LONG rc = op.call();
            FailMallocDisarm();
            bool failed = FailMallocFailures() > 0;
            if (!failed) {
                EXPECT_EQ(ERROR_SUCCESS, rc);
                break;
            }
            saw_failure = true;
            EXPECT_EQ(ERROR_OUTOFMEMORY, rc) << "allocation " << nth;
            EXPECT_EQ(start, ReadBytes(hive)) << "allocation " << nth;
        }
        EXPECT_TRUE(saw_failure);
        EXPECT_EQ(std::vector<std::string>{"registry.reg"}, ListDirectory(dir));
    }
    EXPECT_REG_VALUE(h, "A", REG_SZ, text);
    EXPECT_REG_VALUE(h, "C", REG_BINARY, blob);
    EXPECT_NO_REG_VALUE(h, "B");
    RegCloseKey(h);
}

TEST_F(RegistryOutOfMemory, EachAllocationFailureIsReportedAndChangesNothing) {
    const std::pair<const char *, std::string> files[] = {
        {"REGEDIT4", JoinLines({"REGEDIT4", "", kOtherSection, "\"Old\"=hex(7):41,00,00,00", "",
                                kDeviceSection, "\"A\"=dword:00000001", "\"B\"=\"text\""})},
        {"version 5, UTF-16LE",
         MakeFile(BOTH_ENCODINGS("Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
                                 "\"Old\"=hex(7):41,00,00,00\r\n\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\"
                                 "Device0]\r\n"
                                 "\"A\"=dword:00000001\r\n\"B\"=\"text \u00e9\"\r\n"),
                  kForms[0])},
    };
    for (const auto &[format, file] : files) {
        SCOPED_TRACE(format);
        WriteBytes(hive_, file);
        ExpectOutOfMemoryHandled(hive_, dir_);
    }
}

} // namespace
