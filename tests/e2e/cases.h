// The installer's end-to-end cases, one table for every platform: what the
// system directory and the device key hold before orvexinst runs, and the exit
// code, message boxes and device key values expected afterwards.
//
// The Linux runner (test_installer_e2e.cpp) plays each case in a sandbox of
// its own (ORVEX_SYSTEM_DIR, ORVEX_REGISTRY); the Windows runner plays the same
// table against orvexinst.exe and Wine's registry.
#ifndef ORVEX_TESTS_E2E_CASES_H
#define ORVEX_TESTS_E2E_CASES_H

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

namespace e2e {

// Registry value types, as Win32 numbers them.
enum : uint32_t { kRegSz = 1, kRegBinary = 3, kRegDword = 4 };

struct Value {
    std::string name;
    uint32_t type;
    std::string bytes;
};

inline std::string Le32(uint32_t v) {
    std::string b;
    for (int i = 0; i < 4; ++i)
        b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

inline Value Dword(const std::string &name, uint32_t v) {
    return {name, kRegDword, Le32(v)};
}
// A text value as the installer stores it: with its terminating NUL.
inline Value Sz(const std::string &name, const std::string &text) {
    return {name, kRegSz, text + std::string(1, '\0')};
}
inline Value Binary(const std::string &name, const std::string &bytes) {
    return {name, kRegBinary, bytes};
}
// "CrtTiming" from its fourteen slot values, worked out by hand from a block.
inline Value CrtTiming(const std::vector<uint32_t> &slots) {
    std::string b;
    for (uint32_t v : slots)
        b += Le32(v);
    return {"CrtTiming", kRegBinary, b};
}

// How the device key stands before the run.
enum class Key {
    kPresent,    // exists, holding Case::before
    kMissing,    // does not exist (the parent does)
    kDenied,     // exists, but the installer may not change it
    kUnparsable, // as kPresent, but the hive file also holds a line that no
                 // REGEDIT4 reader accepts (POSIX only)
    kDiskFull,   // as kPresent, on a file system with no room left, so that
                 // no change can be written (POSIX only)
};

// What the system directory holds in place of the data file.
enum class DataFile {
    kText,       // Case::dat
    kMissing,    // nothing
    kDirectory,  // a directory named ORVEXRES.DAT
    kUnreadable, // Case::dat, which the installer may not read (POSIX only)
    kVanishes,   // Case::dat for a first run, which must install (exit 1, no
                 // message); then the file is removed and the installer runs
                 // again. The expectations are those of the second run, and the
                 // device key must be left as the first run left it.
};

struct Case {
    const char *name;
    DataFile data_file;
    std::string dat;
    Key key;
    std::vector<Value> before;
    int exit_code;
    // Message boxes in order, as "caption: text".
    std::vector<std::string> messages;
    // Values that must hold exactly these types and bytes afterwards.
    std::vector<Value> after;
    // Values that must not exist afterwards.
    std::vector<std::string> absent;
    // The device key must be left exactly as it was.
    bool untouched;
    // The case needs a system directory of the given length (0: any).
    size_t system_dir_length;
};

// Cases that need the POSIX stand-ins (a hive file, file modes, a mount);
// other runners skip them.
inline bool PosixOnly(const Case &c) {
    return c.key == Key::kUnparsable || c.key == Key::kDiskFull ||
           c.data_file == DataFile::kUnreadable;
}

// Test frameworks print a case by its name.
inline void PrintTo(const Case &c, std::ostream *os) {
    *os << c.name;
}

// ---------------------------------------------------------------------------
// Data files
// ---------------------------------------------------------------------------

inline const char *Block60() {
    return "hdr=25.175mHz\nhsp=96\nhbp=48\nhad=640\nhfp=16\nhco=0\nhp =negative\n"
           "vlr=60Hz\nvsp=2\nvbp=33\nvad=480\nvfp=10\nvco=0\nvp =negative\n";
}
inline const char *Block72() {
    return "hdr=31.500mHz\nhsp=40\nhbp=128\nhad=640\nhfp=24\nhco=0\nhp =negative\n"
           "vlr=72Hz\nvsp=3\nvbp=28\nvad=480\nvfp=9\nvco=0\nvp =negative\n";
}
inline const char *Block800() {
    return "hdr=40.000mHz\nhsp=128\nhbp=88\nhad=800\nhfp=40\nhco=0\nhp =positive\n"
           "vlr=60Hz\nvsp=4\nvbp=23\nvad=600\nvfp=1\nvco=0\nvp =positive\n";
}
// The slots of the three blocks above (hdr read in base 16).
inline Value Crt60() {
    return CrtTiming({0x25, 96, 48, 640, 16, 0, 0, 60, 2, 33, 480, 10, 0, 0});
}
inline Value Crt72() {
    return CrtTiming({0x31, 40, 128, 640, 24, 0, 0, 72, 3, 28, 480, 9, 0, 0});
}

inline std::string Header(const std::string &bus = "BusType = VESA\n",
                          const std::string &addr = "MemAddr = 8000\n",
                          const std::string &size = "MemSize = 2\n",
                          const std::string &config = "MemConfig = 1\n") {
    return "; Orvex resolution data\n" + bus + addr + size + config + "DefMode = 640x480\n\n";
}

// Monitor "Generic" with the given resolutions, then the three blocks.
inline std::string Dat(const std::string &header, const std::string &generic_lines,
                       const char *monitor_name = "Generic") {
    return header + "[M0]\nname=" + monitor_name + "\n" + generic_lines + "\n" +
           "[T0:640x480x60]\n" + Block60() + "\n[T1:640x480x72]\n" + Block72() +
           "\n[T2:800x600x60]\n" + Block800();
}

inline std::string TypicalDat() {
    return Dat(Header(), "timing0 = T0:640x480x60\ntiming1 = T1:640x480x72\n");
}

inline std::vector<Value> Defaults(uint32_t x, uint32_t y, uint32_t hz) {
    return {Dword("DefaultSettings.BitsPerPel", 8), Dword("DefaultSettings.XResolution", x),
            Dword("DefaultSettings.YResolution", y), Dword("DefaultSettings.VRefresh", hz)};
}

inline std::vector<Value> With(std::vector<Value> values, const std::vector<Value> &more) {
    values.insert(values.end(), more.begin(), more.end());
    return values;
}

// The board settings of the typical header, as stored.
inline std::vector<Value> Settings(uint32_t bus, uint32_t base = 0x80000000u, uint32_t size = 2,
                                   uint32_t config = 1) {
    std::vector<Value> v;
    if (bus != 0)
        v.push_back(Dword("BusType", bus));
    v.push_back(Dword("MemBase", base));
    v.push_back(Dword("MemSize", size));
    v.push_back(Dword("MemConfig", config));
    v.push_back(Dword("FontSize", 0));
    v.push_back(Sz("MonitorType", "Generic"));
    return v;
}

inline const char *LoadFailure() {
    return "Orvex NT Driver Install Error: Error reading ORVEXRES.DAT";
}

// ---------------------------------------------------------------------------
// The table
// ---------------------------------------------------------------------------

inline std::vector<Case> Cases() {
    std::vector<Case> c;
    const std::vector<Value> d72 = Defaults(640, 480, 72);

    c.push_back({"Typical",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 With(With(Settings(2), {Crt72()}), d72),
                 {},
                 false,
                 0});
    c.push_back({"NoDataFile",
                 DataFile::kMissing,
                 "",
                 Key::kPresent,
                 d72,
                 0,
                 {LoadFailure()},
                 {},
                 {"MemBase", "CrtTiming"},
                 true,
                 0});
    c.push_back({"DataFileIsADirectory",
                 DataFile::kDirectory,
                 "",
                 Key::kPresent,
                 d72,
                 0,
                 {LoadFailure()},
                 {},
                 {"MemBase"},
                 true,
                 0});
    c.push_back({"DataFileUnreadable",
                 DataFile::kUnreadable,
                 TypicalDat(),
                 Key::kPresent,
                 d72,
                 0,
                 {LoadFailure()},
                 {},
                 {"MemBase"},
                 true,
                 0});
    c.push_back({"DataFileVanishesBeforeTheSecondRun",
                 DataFile::kVanishes,
                 TypicalDat(),
                 Key::kPresent,
                 d72,
                 0,
                 {LoadFailure()},
                 With(With(Settings(2), {Crt72()}), d72),
                 {},
                 false,
                 0});
    c.push_back({"MalformedDataFile",
                 DataFile::kText,
                 Dat(Header("", "", ""), "timing0 = T0:640x480x60\n"),
                 Key::kPresent,
                 d72,
                 0,
                 {LoadFailure()},
                 {},
                 {"MemBase"},
                 true,
                 0});
    c.push_back({"ResolutionWithoutBlock",
                 DataFile::kText,
                 Dat(Header(), "timing0 = T9:800x600x60\n"),
                 Key::kPresent,
                 d72,
                 0,
                 {LoadFailure()},
                 {},
                 {"MemBase"},
                 true,
                 0});
    c.push_back({"KeyMissing",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kMissing,
                 {},
                 1,
                 {"Message: Error: Unable to open key\nRegOpenKey = 2\nLine = 405"},
                 {},
                 {},
                 true,
                 0});
    c.push_back({"AccessDenied",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kDenied,
                 d72,
                 1,
                 {"Message: Error: Unable to open key. Access Denied."},
                 {},
                 {"MemBase"},
                 true,
                 0});
    c.push_back({"HiveUnparsable",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kUnparsable,
                 d72,
                 1,
                 {"Message: Error: Unable to open key\nRegOpenKey = 1009\nLine = 405"},
                 {},
                 {},
                 true,
                 0});
    // Every change fails (ERROR_WRITE_FAULT), which the installer does not
    // check; the hive keeps its old bytes.
    c.push_back({"HiveOnAFullDisk",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kDiskFull,
                 With(d72, {Binary("CrtTiming", std::string(56, '\x11'))}),
                 1,
                 {},
                 With(d72, {Binary("CrtTiming", std::string(56, '\x11'))}),
                 {"MemBase", "MonitorType"},
                 true,
                 0});
    c.push_back({"RefreshNotFoundLastMatchStays",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 Defaults(640, 480, 75),
                 1,
                 {},
                 With(Settings(2), {Crt72()}),
                 {},
                 false,
                 0});
    c.push_back({"OnlyTheSixtyBlock",
                 DataFile::kText,
                 Dat(Header(), "timing0 = T0:640x480x60\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 With(Settings(2), {Crt60()}),
                 {},
                 false,
                 0});
    c.push_back({"ExactMatchEndsTheWalk",
                 DataFile::kText,
                 Dat(Header(), "t0 = T2:800x600x60\nt1 = T1:640x480x72\nt2 = T0:640x480x60\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 {Crt72()},
                 {},
                 false,
                 0});
    c.push_back(
        {"VRefreshMissingFirstMatchWins",
         DataFile::kText,
         TypicalDat(),
         Key::kPresent,
         {Dword("DefaultSettings.XResolution", 640), Dword("DefaultSettings.YResolution", 480)},
         1,
         {},
         With(Settings(2), {Crt60()}),
         {"DefaultSettings.VRefresh"},
         false,
         0});
    c.push_back({"VRefreshZeroAcceptsAny",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 Defaults(640, 480, 0),
                 1,
                 {},
                 {Crt60()},
                 {},
                 false,
                 0});
    c.push_back({"NoMatchingModeDeletesOldTiming",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 With(Defaults(1024, 768, 60), {Binary("CrtTiming", std::string(56, '\x11'))}),
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    c.push_back({"XResolutionMissingMatchesNothing",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 {Dword("DefaultSettings.YResolution", 480), Dword("DefaultSettings.VRefresh", 72)},
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    c.push_back({"XResolutionOfWrongSizeMatchesNothing",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 {Binary("DefaultSettings.XResolution", std::string("\x80\x02", 2)),
                  Dword("DefaultSettings.YResolution", 480), Dword("DefaultSettings.VRefresh", 72)},
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    c.push_back({"YResolutionTooLargeMatchesNothing",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 {Dword("DefaultSettings.XResolution", 640),
                  Binary("DefaultSettings.YResolution", Le32(480) + Le32(0)),
                  Dword("DefaultSettings.VRefresh", 72)},
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    c.push_back(
        {"VRefreshOfWrongTypeButFourBytesCounts",
         DataFile::kText,
         TypicalDat(),
         Key::kPresent,
         {Dword("DefaultSettings.XResolution", 640), Dword("DefaultSettings.YResolution", 480),
          Binary("DefaultSettings.VRefresh", Le32(72))},
         1,
         {},
         {Crt72()},
         {},
         false,
         0});
    c.push_back({"VRefreshOfWrongSizeAcceptsAny",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 {Dword("DefaultSettings.XResolution", 640),
                  Dword("DefaultSettings.YResolution", 480), Sz("DefaultSettings.VRefresh", "72")},
                 1,
                 {},
                 {Crt60()},
                 {},
                 false,
                 0});
    c.push_back({"YResolutionMissingMatchesNothing",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 {Dword("DefaultSettings.XResolution", 640), Dword("DefaultSettings.VRefresh", 72)},
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    // A REG_DWORD of two bytes is no number.
    c.push_back({"XResolutionDwordOfTwoBytesMatchesNothing",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 {{"DefaultSettings.XResolution", kRegDword, std::string("\x80\x02", 2)},
                  Dword("DefaultSettings.YResolution", 480),
                  Dword("DefaultSettings.VRefresh", 72)},
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    // "640" and its NUL are four bytes: read as the number 0x00303436.
    c.push_back({"XResolutionTextOfFourBytesIsReadAsANumber",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 {Sz("DefaultSettings.XResolution", "640"),
                  Dword("DefaultSettings.YResolution", 480), Dword("DefaultSettings.VRefresh", 72)},
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    c.push_back(
        {"ResolutionsOfWrongTypeButFourBytesCount",
         DataFile::kText,
         TypicalDat(),
         Key::kPresent,
         {Binary("DefaultSettings.XResolution", Le32(640)),
          Binary("DefaultSettings.YResolution", Le32(480)), Dword("DefaultSettings.VRefresh", 72)},
         1,
         {},
         {Crt72()},
         {},
         false,
         0});
    c.push_back(
        {"VRefreshEmptyAcceptsAny",
         DataFile::kText,
         TypicalDat(),
         Key::kPresent,
         {Dword("DefaultSettings.XResolution", 640), Dword("DefaultSettings.YResolution", 480),
          Binary("DefaultSettings.VRefresh", "")},
         1,
         {},
         {Crt60()},
         {},
         false,
         0});
    c.push_back(
        {"VRefreshTooLargeAcceptsAny",
         DataFile::kText,
         TypicalDat(),
         Key::kPresent,
         {Dword("DefaultSettings.XResolution", 640), Dword("DefaultSettings.YResolution", 480),
          Binary("DefaultSettings.VRefresh", Le32(72) + Le32(0))},
         1,
         {},
         {Crt60()},
         {},
         false,
         0});
    // A timing id without a height ("T5:640x72" gives "640" and refresh 72)
    // matches no mode.
    c.push_back({"TimingIdWithoutHeightMatchesNothing",
                 DataFile::kText,
                 Header() + "[M0]\nname=Generic\ntiming0 = T5:640x72\n\n[T5:640x72]\n" + Block72(),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    c.push_back({"GenericMissingStoresSettingsOnly",
                 DataFile::kText,
                 Dat(Header(), "timing0 = T1:640x480x72\n", "Other"),
                 Key::kPresent,
                 With(d72, {Binary("CrtTiming", std::string(56, '\x11'))}),
                 1,
                 {},
                 Settings(2),
                 {"CrtTiming"},
                 false,
                 0});
    c.push_back({"MonitorNameComparesIgnoringCase",
                 DataFile::kText,
                 Dat(Header(), "timing0 = T1:640x480x72\n", "GENERIC"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 {Crt72()},
                 {},
                 false,
                 0});
    c.push_back({"UnknownBusTypeLeavesBusType",
                 DataFile::kText,
                 Dat(Header("BusType = ISA\n"), "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 With(d72, {Dword("BusType", 3)}),
                 1,
                 {},
                 With(Settings(3), {Crt72()}),
                 {},
                 false,
                 0});
    c.push_back({"BlankPaddedBusTypeLeavesBusType",
                 DataFile::kText,
                 Dat(Header("BusType = VESA ; local bus\n"), "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 With(d72, {Dword("BusType", 1)}),
                 1,
                 {},
                 Settings(1),
                 {},
                 false,
                 0});
    c.push_back({"NoBusTypeWritesNone",
                 DataFile::kText,
                 Dat(Header(""), "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(0),
                 {"BusType"},
                 false,
                 0});
    c.push_back({"BusTypeOptiAnyCase",
                 DataFile::kText,
                 Dat(Header("BusType = opti\n"), "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(1),
                 {},
                 false,
                 0});
    c.push_back({"BusTypePrefixIsUnknown",
                 DataFile::kText,
                 Dat(Header("BusType = PC\n"), "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(0),
                 {"BusType"},
                 false,
                 0});
    c.push_back({"BusTypeWithTrailingCharacterIsUnknown",
                 DataFile::kText,
                 Dat(Header("BusType = PCI~\n"), "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(0),
                 {"BusType"},
                 false,
                 0});
    c.push_back({"BusTypePci",
                 DataFile::kText,
                 Dat(Header("BusType = Pci\n"), "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(3),
                 {},
                 false,
                 0});
    c.push_back({"MemoryVariants",
                 DataFile::kText,
                 Dat(Header("BusType = VESA\n", "MemAddr = 0x8000\n", "MemSize = 2Meg\n",
                            "MemConfig = +3\n"),
                     "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(2, 0x80000000u, 2, 3),
                 {},
                 false,
                 0});
    c.push_back({"MemAddrBitsBeyond32AreLost",
                 DataFile::kText,
                 Dat(Header("BusType = VESA\n", "MemAddr = 18000\n", "MemSize = 4294967298\n",
                            "MemConfig = -1\n"),
                     "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(2, 0x80000000u, 2, 0xFFFFFFFFu),
                 {},
                 false,
                 0});
    // Only blanks are cut from values: a tab stays, and the numbers skip it.
    c.push_back(
        {"TabsBeforeNumbersAreSkipped",
         DataFile::kText,
         Dat(Header("BusType = VESA\n", "MemAddr =\t-1\n", "MemSize =\t4\n", "MemConfig =\t\t3\n"),
             "timing0 = T1:640x480x72\n"),
         Key::kPresent,
         d72,
         1,
         {},
         Settings(2, 0xFFFF0000u, 4, 3),
         {},
         false,
         0});
    c.push_back({"MemAddrMissingGivesZero",
                 DataFile::kText,
                 Dat(Header("BusType = VESA\n", ""), "timing0 = T1:640x480x72\n"),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 Settings(2, 0),
                 {},
                 false,
                 0});
    c.push_back(
        {"MemAddrOutOfRange",
         DataFile::kText,
         Dat(Header("BusType = VESA\n", "MemAddr = FFFFFFFFF\n"), "timing0 = T1:640x480x72\n"),
         Key::kPresent,
         d72,
         1,
         {},
         Settings(2, 0xFFFF0000u),
         {},
         false,
         0});
    c.push_back({"OtherValuesSurvive",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 With(d72, {Sz("InstalledDisplayDrivers", "k5300"), Dword("MemSize", 4),
                            Binary("CrtTiming", std::string(56, '\x11'))}),
                 1,
                 {},
                 With(With(Settings(2), {Crt72()}), {Sz("InstalledDisplayDrivers", "k5300"),
                                                     Dword("DefaultSettings.BitsPerPel", 8)}),
                 {},
                 false,
                 0});
    // A system directory too long for the fixed path buffers (127 characters)
    // counts as a data file that cannot be read; one of 126 still works.
    c.push_back({"SystemDirectoryTooLong",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 d72,
                 0,
                 {LoadFailure()},
                 {},
                 {"MemBase"},
                 true,
                 127});
    c.push_back({"SystemDirectoryLongestThatFits",
                 DataFile::kText,
                 TypicalDat(),
                 Key::kPresent,
                 d72,
                 1,
                 {},
                 With(Settings(2), {Crt72()}),
                 {},
                 false,
                 126});
    return c;
}

} // namespace e2e

#endif
