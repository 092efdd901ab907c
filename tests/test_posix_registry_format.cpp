// The registry files of the POSIX registry from bytes to bytes: what the
// parser reads from a hive file, REGEDIT4 and version 5 in every encoding,
// and the bytes a change gives (platform/registry_parse.cpp,
// platform/registry_write.cpp, platform/registry_text.cpp). No file, no
// environment: the services on a hive file are tested in
// test_posix_registry.cpp.

#include "platform/registry_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/hive_text.h"

using namespace hivetext;

namespace {

// The key of that path below HKEY_LOCAL_MACHINE in the hive parsed from
// bytes; null, with a failure at the caller's line, when the bytes do not
// parse or hold no such key.
Tag_Reg_Key *ParseKey(const char *file, int line, const std::string &bytes, Tag_Hive &hive,
                      const char *sub_key) {
    bool parsed = ParseHive(bytes, hive);
    Tag_Reg_Key *key =
        parsed ? FindHiveKey(hive, std::string(kLocalMachine) + "\\" + sub_key) : nullptr;
    if (!key)
        ADD_FAILURE_AT(file, line)
            << (parsed ? "no key " : "cannot parse the hive for ") << sub_key;
    return key;
}

// The bytes after setting a value of the device key.
std::string SetIn(const char *file, int line, const std::string &bytes, const std::string &name,
                  DWORD type, const Bytes &data) {
    Tag_Hive hive;
    Tag_Reg_Key *key = ParseKey(file, line, bytes, hive, kDevice);
    return key ? SetHiveValue(hive, *key, name, type, data.data(), data.size()) : bytes;
}
#define SET_VALUE(bytes, name, type, data) SetIn(__FILE__, __LINE__, bytes, name, type, data)

// The bytes after deleting a value of the device key, which must exist.
std::string DeleteIn(const char *file, int line, const std::string &bytes,
                     const std::string &name) {
    Tag_Hive hive;
    Tag_Reg_Key *key = ParseKey(file, line, bytes, hive, kDevice);
    std::string after = bytes;
    if (key && !DeleteHiveValue(hive, *key, name, after))
        ADD_FAILURE_AT(file, line) << "no value \"" << name << "\" to delete";
    return after;
}
#define DELETE_VALUE(bytes, name) DeleteIn(__FILE__, __LINE__, bytes, name)

// The value of the key holds this type and these bytes as the services give
// them; with found false, there is no such value.
void ExpectValue(const char *file, int line, const std::string &bytes, const char *sub_key,
                 const std::string &name, bool found, DWORD type, const Bytes &want) {
    testing::ScopedTrace trace(file, line, "value \"" + name + "\"");
    Tag_Hive hive;
    Tag_Reg_Key *key = ParseKey(file, line, bytes, hive, sub_key);
    DWORD t = 0xdeadbeef;
    Bytes data;
    if (!key)
        return;
    ASSERT_EQ(found, ReadHiveValue(hive, *key, name, t, data));
    if (found) {
        EXPECT_EQ(type, t);
        EXPECT_EQ(want, data);
    }
}
#define EXPECT_HIVE_VALUE(bytes, name, type, want)                                                 \
    ExpectValue(__FILE__, __LINE__, bytes, kDevice, name, true, type, want)
#define EXPECT_KEY_VALUE(bytes, sub_key, name, type, want)                                         \
    ExpectValue(__FILE__, __LINE__, bytes, sub_key, name, true, type, want)
#define EXPECT_NO_HIVE_VALUE(bytes, name)                                                          \
    ExpectValue(__FILE__, __LINE__, bytes, kDevice, name, false, 0, Bytes{})

bool HasKey(const std::string &bytes, const char *sub_key) {
    Tag_Hive hive;
    return ParseHive(bytes, hive) &&
           FindHiveKey(hive, std::string(kLocalMachine) + "\\" + sub_key) != nullptr;
}

// A hive with the device key and a second, empty key before it.
std::string DeviceHive() {
    return JoinLines({"REGEDIT4", "", kOtherSection, "", kDeviceSection, ""});
}

// ---------------------------------------------------------------------------
// Values go into the text and come back unchanged.

TEST(RegistryRoundTrip, ReplacingAValueKeepsOnlyTheNewTypeAndBytes) {
    std::string hive = SET_VALUE(DeviceHive(), "Mode", REG_SZ, MakeSz("a rather long text value"));
    hive = SET_VALUE(hive, "Mode", REG_DWORD, MakeDword(7));
    EXPECT_HIVE_VALUE(hive, "Mode", REG_DWORD, MakeDword(7));
    hive = SET_VALUE(hive, "Mode", REG_BINARY, Bytes{});
    EXPECT_HIVE_VALUE(hive, "Mode", REG_BINARY, Bytes{});
}

// Each value set in turn into one hive: its entry (when given) is a line of
// the file, and every value reads back with its type and bytes.
TEST(RegistryRoundTrip, ValuesAreWrittenAsTheirEntriesAndReadBack) {
    struct Case {
        const char *name;
        DWORD type;
        Bytes data;
        const char *entry;
    } const cases[] = {
        // Escaped characters in the name and the text.
        {"name \\with\\ \"quotes\"", REG_SZ, MakeSz("C:\\WINNT\\\"quoted\"\\ end\\"),
         "\"name \\\\with\\\\ \\\"quotes\\\"\"=\"C:\\\\WINNT\\\\\\\"quoted\\\"\\\\ end\\\\\""},
        // Strings that are not plain text keep their bytes.
        {"NoNul", REG_SZ, MakeRaw("abc"), "\"NoNul\"=hex(1):61,62,63"},
        {"EmbeddedNul", REG_SZ, MakeRaw(std::string("a\0b\0", 4)), nullptr},
        {"LineBreak", REG_SZ, MakeSz("one\r\ntwo"), nullptr},
        {"Empty", REG_SZ, Bytes{}, "\"Empty\"=hex(1):"},
        {"EmptyText", REG_SZ, MakeSz(""), "\"EmptyText\"=\"\""},
        // Other types are kept by number.
        {"Multi", REG_MULTI_SZ, MakeRaw(std::string("k5300\0vga\0\0", 11)), nullptr},
        {"Expand", REG_EXPAND_SZ, MakeSz("%SystemRoot%\\System32"), nullptr},
        {"None", REG_NONE, Bytes{}, "\"None\"=hex(0):"},
        {"ShortDword", REG_DWORD, Bytes{0x01, 0x02}, "\"ShortDword\"=hex(4):01,02"},
        {"Odd", 0x12345678u, Bytes{0xde, 0xad}, "\"Odd\"=hex(12345678):de,ad"},
    };
    std::string hive = DeviceHive();
    for (const Case &c : cases)
        hive = SET_VALUE(hive, c.name, c.type, c.data);
    for (const Case &c : cases) {
        if (c.entry) {
            EXPECT_NE(std::string::npos, hive.find("\r\n" + std::string(c.entry) + "\r\n"))
                << c.entry;
        }
        EXPECT_HIVE_VALUE(hive, c.name, c.type, c.data);
    }
}

TEST(RegistryRoundTrip, LongBinaryValueIsWrappedAndReadBack) {
    Bytes big(700);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<BYTE>(i * 7 + 3);
    const std::string file = SET_VALUE(DeviceHive(), "EDID", REG_BINARY, big);

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
    EXPECT_HIVE_VALUE(file, "EDID", REG_BINARY, big);
}

// ---------------------------------------------------------------------------
// The exact text written.

TEST(RegistryFileFormat, SmallHiveIsWrittenAsRegedit) {
    std::string hive =
        SET_VALUE(DeviceHive(), "DefaultSettings.BitsPerPel", REG_DWORD, MakeDword(16));
    hive = SET_VALUE(hive, "Device Description", REG_SZ, MakeSz("Orvex \"K5300\" at C:\\WINNT"));
    hive = SET_VALUE(hive, "HardwareInformation.MemorySize", REG_BINARY, (Bytes{0, 0, 0x20, 0}));
    hive = SET_VALUE(hive, "InstalledDisplayDrivers", REG_MULTI_SZ,
                     MakeRaw(std::string("k5300\0\0", 7)));
    hive = SET_VALUE(hive, "", REG_SZ, MakeSz("Orvex"));
    // Replacing keeps the value where it was.
    hive = SET_VALUE(hive, "DefaultSettings.BitsPerPel", REG_DWORD, MakeDword(0xABCDEF));

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
    EXPECT_EQ(expected, hive);
}

TEST(RegistryFileFormat, LongHexBreaksAfterACommaWithinEightyColumns) {
    Bytes blob(40);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<BYTE>(i);
    const std::string expected =
        "REGEDIT4\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]\r\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
        "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\r\n"
        "\r\n";
    EXPECT_EQ(expected,
              SET_VALUE(JoinLines({"REGEDIT4", "", kDeviceSection}), "Blob", REG_BINARY, blob));
}

TEST(RegistryFileFormat, ForeignKeysAndValuesArePreservedAfterASet) {
    // Hand-written: LF line ends, comments, odd spacing, another root.
    const std::string hive =
        SET_VALUE(JoinLines({"REGEDIT4", "", "; kept by hand", kOtherSection, "@=\"default text\"",
                             "\"Paths\"=hex(7):61,00,62,00,00,00",
                             "\"Nothing\"=hex(0):", "\"Expand\"=hex(2):25,00", "", kDeviceSection,
                             "\"Keep\"=dword:00000001", "", "[HKEY_CURRENT_USER\\Software\\Orvex]",
                             "\"User\"=\"u\"", "", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]"},
                            "\n"),
                  "New", REG_DWORD, MakeDword(5));
    EXPECT_HIVE_VALUE(hive, "Keep", REG_DWORD, MakeDword(1));
    EXPECT_HIVE_VALUE(hive, "New", REG_DWORD, MakeDword(5));
    EXPECT_KEY_VALUE(hive, kOther, "", REG_SZ, MakeSz("default text"));
    EXPECT_KEY_VALUE(hive, kOther, "Paths", REG_MULTI_SZ, MakeRaw(std::string("a\0b\0\0\0", 6)));
    EXPECT_KEY_VALUE(hive, kOther, "Nothing", REG_NONE, Bytes{});
    EXPECT_KEY_VALUE(hive, kOther, "Expand", REG_EXPAND_SZ, MakeRaw(std::string("%\0", 2)));
    EXPECT_TRUE(HasKey(hive, "SOFTWARE\\Empty"));

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
    EXPECT_EQ(expected, hive);
}

// ---------------------------------------------------------------------------
// What the reader accepts.

TEST(RegistryParse, ContinuationLinesAndLooseHexAreRead) {
    const std::string hive =
        JoinLines({"REGEDIT4", "", kDeviceSection, "\"Blob\"=hex:01,02,\\", "  03,04,\\", "  05",
                   "\"Multi\"=hex(7):41,00,\\", "      42,00,00,00", "\"Upper\"=hex:AB, CD ,eF,0",
                   "\"Spaces\"=hex:01, 02,   03", "\"Dw\"=dword:0000ABCD", "\"Type\"=hex(A):ff",
                   "\"Empty\"=hex:"});
    EXPECT_HIVE_VALUE(hive, "Blob", REG_BINARY, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_HIVE_VALUE(hive, "Multi", REG_MULTI_SZ, (Bytes{0x41, 0, 0x42, 0, 0, 0}));
    EXPECT_HIVE_VALUE(hive, "Upper", REG_BINARY, (Bytes{0xab, 0xcd, 0xef, 0}));
    EXPECT_HIVE_VALUE(hive, "Spaces", REG_BINARY, (Bytes{1, 2, 3}));
    EXPECT_HIVE_VALUE(hive, "Dw", REG_DWORD, MakeDword(0xabcd));
    EXPECT_HIVE_VALUE(hive, "Type", 10u, Bytes{0xff});
    EXPECT_HIVE_VALUE(hive, "Empty", REG_BINARY, Bytes{});
}

TEST(RegistryParse, CrLfAndLfLineEndsReadAlike) {
    for (const char *eol : {"\r\n", "\n"}) {
        SCOPED_TRACE(eol[0] == '\r' ? "CR LF" : "LF");
        const std::string hive =
            JoinLines({"\xEF\xBB\xBFREGEDIT4", "", "; comment", kDeviceSection, "\"Text\"=\"a b\"",
                       "", "; another", "\"Blob\"=hex:01,\\", "  02", "@=dword:00000003", "", ""},
                      eol);
        EXPECT_HIVE_VALUE(hive, "Text", REG_SZ, MakeSz("a b"));
        EXPECT_HIVE_VALUE(hive, "Blob", REG_BINARY, (Bytes{1, 2}));
        EXPECT_HIVE_VALUE(hive, "", REG_DWORD, MakeDword(3));
    }
}

TEST(RegistryParse, KeyPathsAndValueNamesIgnoreCase) {
    std::string hive =
        JoinLines({"REGEDIT4", "",
                   "[hkey_local_machine\\system\\currentcontrolset\\SERVICES\\K5300\\device0]",
                   "\"MixedCase\"=dword:00000001", "\"After\"=dword:00000002"});
    EXPECT_HIVE_VALUE(hive, "mixedcase", REG_DWORD, MakeDword(1));
    EXPECT_HIVE_VALUE(hive, "MIXEDCASE", REG_DWORD, MakeDword(1));
    // Setting under another spelling replaces the value in place.
    hive = SET_VALUE(hive, "MIXEDcase", REG_DWORD, MakeDword(9));
    EXPECT_HIVE_VALUE(hive, "MixedCase", REG_DWORD, MakeDword(9));
    hive = DELETE_VALUE(hive, "AFTER");

    EXPECT_EQ(
        JoinLines({"REGEDIT4", "",
                   "[hkey_local_machine\\system\\currentcontrolset\\SERVICES\\K5300\\device0]",
                   "\"MixedCase\"=dword:00000009", ""}),
        hive);
}

TEST(RegistryParse, EscapesInHandWrittenNamesAndTexts) {
    const std::string hive =
        JoinLines({"REGEDIT4", "", kDeviceSection, "\"a\\\\b\\\"c\"=\"x\\\\y\\\"z\"",
                   "\"plain\" = \"spaced\""});
    EXPECT_HIVE_VALUE(hive, "a\\b\"c", REG_SZ, MakeSz("x\\y\"z"));
    EXPECT_HIVE_VALUE(hive, "plain", REG_SZ, MakeSz("spaced"));
}

TEST(RegistryParse, UnparsableFilesAreRefused) {
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
    // The same hive without the faults parses: the failures below are the
    // faults'.
    EXPECT_TRUE(HasKey(JoinLines({"REGEDIT4", "", section, "\"A\"=hex:01"}), "X"));
    for (const Case &c : cases) {
        Tag_Hive hive;
        EXPECT_FALSE(ParseHive(c.text, hive)) << c.what;
    }
}

// ---------------------------------------------------------------------------
// Version-5 files ("Windows Registry Editor Version 5.00") as `reg export`
// writes them: UTF-16LE with a byte-order mark, or UTF-8.

TEST(RegistryVersion5, EveryFormAndTypeReadsAsTheAnsiServicesGiveIt) {
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
        for (const Read &r : reads)
            EXPECT_HIVE_VALUE(file, r.name, r.type, r.bytes);
        EXPECT_NO_HIVE_VALUE(file, "Gone");
        // A removed key takes the keys below it along.
        EXPECT_FALSE(HasKey(file, kOther));
        EXPECT_FALSE(HasKey(file, "SOFTWARE\\Other\\Below"));
    }
}

// Each change rewrites the one entry it concerns, in the file's encoding and
// line ends; every other byte stays.
TEST(RegistryVersion5, ChangesRewriteOnlyTheirEntryInEveryForm) {
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
        // A value that exists keeps the spelling of its name.
        std::string hive = SET_VALUE(MakeFile(before, form), "defaultsettings.xresolution",
                                     REG_DWORD, MakeDword(0x400));
        // Removed and set again: the same entry, replaced twice.
        hive = DELETE_VALUE(hive, "CrtTiming");
        EXPECT_NO_HIVE_VALUE(hive, "CrtTiming");
        hive = SET_VALUE(hive, "CrtTiming", REG_BINARY, (Bytes{1, 2}));
        EXPECT_HIVE_VALUE(hive, "Anmerkung \xE9", REG_SZ,
                          MakeSz("Gr\xFC\xDF"
                                 "e ?"));
        hive = DELETE_VALUE(hive, "ANMERKUNG \xE9");
        // New values go after the last line of the key's last section.
        hive = SET_VALUE(hive, "MonitorType", REG_SZ, monitor);
        hive = SET_VALUE(hive, "Paths", REG_MULTI_SZ, paths);
        hive = SET_VALUE(hive, "Broken", REG_SZ, broken);
        EXPECT_HIVE_VALUE(hive, "MonitorType", REG_SZ, monitor);
        EXPECT_HIVE_VALUE(hive, "Paths", REG_MULTI_SZ, paths);
        EXPECT_HIVE_VALUE(hive, "Broken", REG_SZ, broken);
        EXPECT_EQ(MakeFile(after, form), hive);
    }
}

// Where a change goes when the file holds a value or a key more than once, or
// ends without a line end.
TEST(RegistryVersion5, ChangesGoWhereAnImportTakesTheValueFrom) {
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
        EXPECT_EQ(device + c.after,
                  c.remove ? DELETE_VALUE(device + c.before, c.name)
                           : SET_VALUE(device + c.before, c.name, REG_DWORD, MakeDword(2)));
    }
}

// Monitor names whose characters the registry must keep: blanks, quotes,
// backslashes, and every byte of the ANSI code page above 0x7F (the five it
// leaves undefined too), as a value and as a value's name.
TEST(RegistryVersion5, MonitorNamesRoundTripInEveryFormat) {
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
    std::string hive;
    for (const auto &[format, file] : files) {
        SCOPED_TRACE(format);
        hive = file;
        for (const std::string &name : names) {
            hive = SET_VALUE(hive, "MonitorType", REG_SZ, MakeSz(name));
            hive = SET_VALUE(hive, name, REG_DWORD, MakeDword(7));
            EXPECT_HIVE_VALUE(hive, "MonitorType", REG_SZ, MakeSz(name));
            EXPECT_HIVE_VALUE(hive, name, REG_DWORD, MakeDword(7));
        }
    }
    // The UTF-8 file holds the characters of the code page.
    EXPECT_NE(std::string::npos, hive.find(u8"\u20ac\u0081\u201a\u0192"));
}

TEST(RegistryVersion5, HostileFilesAreRefused) {
    const std::string device = V5_DEVICE_SECTION;
    const std::string utf16 =
        MakeFile(BOTH_ENCODINGS(V5_DEVICE_SECTION "\"A\"=\"x\"\r\n"), kForms[0]);
    std::string huge = device + "\"A\"=hex:";
    for (int i = 0; i < 70000; ++i)
        huge += "ab,\\\r\n  ";
    // The good files these are spoiled from parse.
    EXPECT_TRUE(HasKey(utf16, kDevice));
    EXPECT_TRUE(HasKey(device, kDevice));
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
        Tag_Hive hive;
        EXPECT_FALSE(ParseHive(c.bytes, hive)) << c.what;
    }
    // The huge value, ended, reads and stays byte for byte.
    const std::string hive = SET_VALUE(huge + "ab\r\n", "Small", REG_DWORD, MakeDword(1));
    EXPECT_HIVE_VALUE(hive, "A", REG_BINARY, Bytes(70001, 0xab));
    EXPECT_EQ(huge + "ab\r\n\"Small\"=dword:00000001\r\n", hive);
}

} // namespace
