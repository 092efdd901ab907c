// The POSIX registry stand-in on a hive file: the services, their handles and
// errors, the file itself (where it is, its commit, permissions) and running
// out of memory (platform/registry.cpp, platform/registry_file.cpp). The file
// formats from bytes to bytes: test_posix_registry_format.cpp.

#include "platform/win32.h"

#include <gtest/gtest.h>

#include "support/failmalloc.h"
#include "support/hive_text.h"
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

using namespace hivetext;

namespace {

// The account the unprivileged checks run as when the tests run as root.
const uid_t kNobody = 65534;

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
// Files the reader refuses.

TEST_F(RegistryParse, UnparsableHivesGiveBadDbAndAreNeverTouched) {
    const std::string hives[] = {
        JoinLines({"REGEDIT4", "", kDeviceSection, "hello"}),
        MakeFile(BOTH_ENCODINGS(V5_DEVICE_SECTION), kForms[0]) + "\n",
    };
    for (const std::string &hive : hives) {
        WriteBytes(hive_, hive);
        EXPECT_EQ(ERROR_BADDB, OpenStatus(kDevice, KEY_QUERY_VALUE));
        EXPECT_EQ(ERROR_BADDB, OpenStatus(kDevice, kReadWrite));
        EXPECT_EQ(hive, ReadBytes(hive_));
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

class RegistryVersion5 : public RegistryTest {};

// Reading through a handle converts as the ANSI services do and never
// rewrites the file.
TEST_F(RegistryVersion5, ReadingLeavesTheFileAsItIs) {
    for (const Tag_File_Form &form : kForms) {
        SCOPED_TRACE(form.what);
        const std::string file =
            MakeFile(BOTH_ENCODINGS(V5_DEVICE_SECTION "\"Text\"=\"Caf\u00e9 \u263a\"\r\n"), form);
        WriteBytes(hive_, file);
        HKEY h = Open(kDevice, kReadWrite);
        ASSERT_NE(nullptr, h);
        EXPECT_REG_VALUE(h, "Text", REG_SZ, MakeSz("Caf\xE9 ?"));
        RegCloseKey(h);
        EXPECT_EQ(file, ReadBytes(hive_));
    }
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
