// The POSIX stand-ins for the Win32 services other than the registry:
// GetSystemDirectoryA, MessageBoxA, wsprintfA and lstrlenA.

#include "platform/win32.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

class Win32Services : public testing::Test {
  protected:
    void SetUp() override {
        const char *old = getenv("ORVEX_SYSTEM_DIR");
        had_old_ = old != nullptr;
        if (old)
            old_ = old;
    }
    void TearDown() override {
        if (had_old_)
            setenv("ORVEX_SYSTEM_DIR", old_.c_str(), 1);
        else
            unsetenv("ORVEX_SYSTEM_DIR");
    }
    bool had_old_ = false;
    std::string old_;
};

TEST_F(Win32Services, GetSystemDirectoryFollowsTheWin32Convention) {
    const std::string dir = "/opt/orvex/system32";
    const UINT len = static_cast<UINT>(dir.size());
    setenv("ORVEX_SYSTEM_DIR", dir.c_str(), 1);

    char buf[MAX_PATH];
    EXPECT_EQ(len, GetSystemDirectoryA(buf, sizeof buf));
    EXPECT_EQ(dir, buf);

    SCOPED_TRACE("exactly large enough");
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(len, GetSystemDirectoryA(buf, len + 1));
    EXPECT_EQ(dir, buf);

    SCOPED_TRACE("one byte short: the size needed, buffer untouched");
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(len + 1, GetSystemDirectoryA(buf, len));
    for (size_t i = 0; i < sizeof buf; ++i)
        ASSERT_EQ('x', buf[i]) << "byte " << i;
    EXPECT_EQ(len + 1, GetSystemDirectoryA(nullptr, 0));

    SCOPED_TRACE("unset: the current directory");
    unsetenv("ORVEX_SYSTEM_DIR");
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    std::vector<char> big(strlen(cwd) + 1);
    EXPECT_EQ(strlen(cwd), GetSystemDirectoryA(big.data(), static_cast<UINT>(big.size())));
    EXPECT_STREQ(cwd, big.data());
}

TEST_F(Win32Services, MessageBoxWritesCaptionAndTextToStandardError) {
    testing::internal::CaptureStderr();
    int rc = MessageBoxA(nullptr, "No Orvex board found.", "Orvex Setup", MB_OK | MB_ICONERROR);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(IDOK, rc);
    EXPECT_EQ("Orvex Setup: No Orvex board found.\n", err);
}

TEST_F(Win32Services, FormattingAndLengths) {
    char buf[2048];
    const char *expected = "x=1234 y=-5";
    EXPECT_EQ(static_cast<int>(strlen(expected)), wsprintfA(buf, "x=%d y=%d", 1234, -5));
    EXPECT_STREQ(expected, buf);

    SCOPED_TRACE("output is capped at 1024 bytes with the NUL");
    memset(buf, 'z', sizeof buf);
    std::string long_text(1500, 'a');
    EXPECT_EQ(1023, wsprintfA(buf, "%s", long_text.c_str()));
    EXPECT_EQ('\0', buf[1023]);
    EXPECT_EQ(std::string(1023, 'a'), std::string(buf, 1023));
    for (size_t i = 1024; i < sizeof buf; ++i)
        ASSERT_EQ('z', buf[i]) << "byte " << i;

    EXPECT_EQ(3, lstrlenA("abc"));
    EXPECT_EQ(0, lstrlenA(""));
    EXPECT_EQ(0, lstrlenA(nullptr));
}

} // namespace
