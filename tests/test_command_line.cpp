// The command line WinMain receives from the programs' own start-up on
// Windows: the whole line the system keeps, without the program's name.
#include <string>

#include "platform/command_line.h"
#include "support/testutil.h"

namespace {

struct Line {
    std::string whole;
    std::string arguments;
};

const Line kLines[] = {
    {"", ""},
    {"orvexsetup.exe", ""},
    {"orvexsetup.exe  \t ", ""},
    {"orvexsetup.exe /memsize:1", "/memsize:1"},
    {"orvexsetup.exe\t \t/font:big  /memsize:2 ", "/font:big  /memsize:2 "},
    {R"("C:\Program Files\Orvex\orvexsetup.exe" /monitor:"Orvex ProView 17")",
     R"(/monitor:"Orvex ProView 17")"},
    {R"(C:\"Program Files"\orvexsetup.exe "a b")", R"("a b")"},
    {R"("unended name.exe /x)", ""},
    {"C:\\Gr\xf6\xdf"
     "e\\orvexsetup.exe /font:small",
     "/font:small"},
    {"orvexsetup.exe\r\n/x", "/x"},
    {"orvexsetup.exe " + std::string(1000, 'x'), std::string(1000, 'x')},
};

TEST(StartupCommandLine, WinMainGetsWhatFollowsTheProgramName) {
    for (const Line &line : kLines) {
        const char *arguments = SkipProgramName(line.whole.c_str());
        EXPECT_EQ(arguments, line.arguments) << "command line: " << line.whole;
        EXPECT_EQ(arguments + line.arguments.size(), line.whole.c_str() + line.whole.size())
            << "points into the line itself: " << line.whole;
    }
}

} // namespace
