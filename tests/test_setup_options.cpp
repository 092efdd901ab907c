// orvexsetup's command line: the arguments cut as the Windows C runtime cuts
// them, the options read from them, and the bounds of both and of the texts
// its messages are made of.
#include <string.h>

#include <string>
#include <vector>

#include "install/setup.h"
#include "install/texts.h"
#include "support/testutil.h"

namespace {

struct Split {
    const char *command_line;
    std::vector<std::string> arguments;
};

const Split kSplits[] = {
    {"", {}},
    {" \t ", {}},
    {"a b", {"a", "b"}},
    {" \ta\t\tb  ", {"a", "b"}},
    {R"(/monitor:"Orvex ProView 17" /font:big)", {"/monitor:Orvex ProView 17", "/font:big"}},
    {R"("/monitor:Orvex ProView 17")", {"/monitor:Orvex ProView 17"}},
    {R"(a"b c"d e)", {"ab cd", "e"}},
    {R"("")", {""}},
    {R"("" x)", {"", "x"}},
    {R"("unended quote)", {"unended quote"}},
    // Backslashes: literal, except before a quote, where pairs halve and an
    // odd one makes the quote a character.
    {R"(a\b\\c)", {R"(a\b\\c)"}},
    {R"(a\"b)", {R"(a"b)"}},
    {R"(a\\"b c" d)", {R"(a\b c)", "d"}},
    {R"(a\\\"b)", {R"(a\"b)"}},
    {R"("a b\\" c)", {R"(a b\)", "c"}},
    {R"(end\)", {R"(end\)"}},
};

TEST(SetupCommandLine, CutsArgumentsAsTheWindowsRuntimeDoes) {
    for (const Split &split : kSplits) {
        SCOPED_TRACE(split.command_line);
        std::vector<std::string> got;
        const char *cursor = split.command_line;
        char argument[64];
        size_t length = 0;
        while (got.size() <= split.arguments.size() &&
               ReadCommandLineArgument(&cursor, argument, sizeof argument, &length)) {
            EXPECT_EQ(length, strlen(argument));
            got.push_back(argument);
        }
        EXPECT_EQ(got, split.arguments);
    }
}

TEST(SetupCommandLine, ALongArgumentIsCutToItsRoomAndMeasuredWhole) {
    std::string line = "\"" + std::string(100, 'x') + "\" next";
    const char *cursor = line.c_str();
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    size_t length = 0;
    ASSERT_TRUE(ReadCommandLineArgument(&cursor, buffer, 8, &length));
    EXPECT_EQ(length, 100u);
    EXPECT_STREQ(buffer, "xxxxxxx");
    EXPECT_EQ(buffer[8], '#') << "written beyond the room given";
    ASSERT_TRUE(ReadCommandLineArgument(&cursor, buffer, 8, &length));
    EXPECT_STREQ(buffer, "next");
    EXPECT_FALSE(ReadCommandLineArgument(&cursor, buffer, 8, &length));
}

struct OptionCase {
    std::string command_line;
    SetupRequest request;
    std::string message_start; // of GetSetupMessage(); "" for none
};

const std::string kLong(600, 'm');

const OptionCase kOptionCases[] = {
    {"", kRequestDialog, ""},
    {"  ", kRequestDialog, ""},
    {"/font:big /?", kRequestUsage, ""},
    {"/monitor:Generic", kRequestUnattended, ""},
    {"/Monitor:x /MEMSIZE:1 /FoNt:BiG", kRequestUnattended, ""},
    {"/monitor", kRequestBadOption, "Unknown option \"/monitor\".\nAccepted options:\n"},
    {"/monitors:x", kRequestBadOption, "Unknown option \"/monitors:x\"."},
    {"-monitor:x", kRequestBadOption, "Unknown option \"-monitor:x\"."},
    {"monitor:x", kRequestBadOption, "Unknown option \"monitor:x\"."},
    {"/:x", kRequestBadOption, "Unknown option \"/:x\"."},
    {"/memsize:", kRequestBadOption, "Bad memory size \"\".\nAccepted: 1, 2"},
    {"/memsize:01", kRequestBadOption, "Bad memory size \"01\"."},
    {"/font:smal", kRequestBadOption, "Bad font size \"smal\".\nAccepted: small, big"},
    {"/monitor:a /Monitor:a", kRequestBadOption, "Option given twice \"/Monitor:a\"."},
    // Too long for the room: cut, marked, and never a known value.
    {"/" + kLong, kRequestBadOption, "Unknown option \"/" + std::string(510, 'm') + "...\"."},
    {"/font:" + kLong, kRequestBadOption, "Bad font size \"" + std::string(505, 'm') + "...\"."},
};

TEST(SetupOptions, RequestsAndMessages) {
    for (const OptionCase &c : kOptionCases) {
        SCOPED_TRACE(c.command_line.substr(0, 40));
        Tag_Setup_Options options;
        EXPECT_EQ(ParseSetupOptions(c.command_line.c_str(), &options), c.request);
        EXPECT_EQ(std::string(GetSetupMessage()).substr(0, c.message_start.size()),
                  c.message_start);
        if (c.message_start.empty()) {
            EXPECT_STREQ(GetSetupMessage(), "");
        }
    }
}

TEST(SetupOptions, AnIdOutsideTheTextsTableGivesNoText) {
    EXPECT_STREQ(GetInstallText(kInstallTextCount), "");
}

class SetupMonitors : public FreshDatabase {};

// A name too long for the room is reported cut, a list of monitors too long
// for the message is cut, and a name is found ignoring case.
TEST_F(SetupMonitors, LongNamesAndLongListsStayInTheirRoom) {
    ScratchDir dir;
    std::string text = "MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n\n";
    for (int i = 0; i < 60; ++i)
        text += "[M" + std::to_string(i) + "]\nname=" + std::string(200, 'm') + std::to_string(i) +
                "\n\n";
    ASSERT_TRUE(LoadText(dir, text));

    Tag_Setup_Choice choice = {"Generic", 2, 0};
    Tag_Setup_Options options;
    ASSERT_EQ(ParseSetupOptions(("/monitor:" + kLong).c_str(), &options), kRequestUnattended);
    EXPECT_TRUE(options.monitor_cut);
    EXPECT_FALSE(ApplySetupOptions(&options, &choice));
    std::string message = GetSetupMessage();
    EXPECT_EQ(message.rfind("Unknown monitor \"" + std::string(kSetupArgumentMax - 9, 'm') +
                                "...\".\nThe monitors of ORVEXRES.DAT:\n\"",
                            0),
              0u)
        << message.substr(0, 80);
    EXPECT_EQ(message.size(), 8191u);
    EXPECT_EQ(message.substr(message.size() - 3), "...");
    EXPECT_STREQ(choice.monitor, "Generic") << "the choice must stay as it was";

    ASSERT_EQ(ParseSetupOptions(("/monitor:" + std::string(200, 'M') + "7").c_str(), &options),
              kRequestUnattended);
    ASSERT_TRUE(ApplySetupOptions(&options, &choice));
    EXPECT_EQ(choice.monitor, std::string(200, 'm') + "7") << "the file's spelling";
}

// The messages that need no option: a file without monitors, and a dialog
// that cannot be shown.
TEST_F(SetupMonitors, UnknownMonitorOfAFileWithoutMonitorsAndTheDialogFailure) {
    ScratchDir dir;
    ASSERT_TRUE(LoadText(dir, "MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n"));
    Tag_Setup_Choice choice = {"Generic", 2, 0};
    Tag_Setup_Options options;
    ASSERT_EQ(ParseSetupOptions("/monitor:Generic", &options), kRequestUnattended);
    EXPECT_FALSE(ApplySetupOptions(&options, &choice));
    EXPECT_STREQ(GetSetupMessage(), "Unknown monitor \"Generic\".\nORVEXRES.DAT names no monitor.");

    ComposeDialogFailure(1400);
    EXPECT_STREQ(GetSetupMessage(), "The dialog cannot be shown. Error 1400.");
    ComposeDialogFailure(0);
    EXPECT_STREQ(GetSetupMessage(), "The dialog cannot be shown. Error 0.");
}

} // namespace
