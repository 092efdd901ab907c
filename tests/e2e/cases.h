// The installer's end-to-end cases, one table for every platform: what the
// system directory and the device key hold before orvexinst (or orvexsetup
// with options) runs, and the exit code, message boxes and device key values
// expected afterwards.
//
// The Linux runner (test_installer_e2e.cpp) plays each case in a sandbox of
// its own (ORVEX_SYSTEM_DIR, ORVEX_REGISTRY); the Windows runner plays the same
// table against orvexinst.exe and Wine's registry.
#ifndef ORVEX_TESTS_E2E_CASES_H
#define ORVEX_TESTS_E2E_CASES_H

#include <stdint.h>
#include <stdio.h>

#include <ostream>
#include <string>
#include <vector>

#include "install/crt_timing.h"
#include "install/texts.h"

namespace e2e {

// Registry value types, as Win32 numbers them.
enum : uint32_t { kRegSz = 1, kRegBinary = 3, kRegDword = 4 };

struct Value {
    std::string name;
    uint32_t type;
    std::string bytes;
};

// A registry number's four bytes.
inline std::string Le32(uint32_t v) {
    BYTE bytes[4];
    PutLe32(v, bytes);
    return std::string(reinterpret_cast<const char *>(bytes), sizeof bytes);
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
    // As kPresent, but every change is refused at the commit: the hive,
    // writable by all, lies in a directory writable by all with the sticky
    // bit, and neither belongs to the user the installer runs as, who may
    // write the hive but not replace it (POSIX only, as root).
    kNotReplaceable,
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

// The program a case runs.
enum class Program {
    kInstaller, // orvexinst, without arguments
    kSetup,     // orvexsetup with Case::args
};

// The exit code of a case that names none. Every exit code a runner reads lies
// between -1 (the run did not finish) and 255, so such a case fails rather
// than expecting 0 unseen.
const int kNoExitCode = 256;

// A case, built by naming what it sets up and what it expects:
//   Case("Typical").Dat(TypicalDat()).Before(d72).Exit(1).After(...)
// What a case does not name keeps the default given below.
struct Case {
    explicit Case(const char *case_name) : name(case_name) {}

    // The setup.
    Case &DataFileIs(DataFile kind) {
        data_file = kind;
        return *this;
    }
    Case &Dat(const std::string &text) {
        dat = text;
        return *this;
    }
    Case &KeyIs(Key state) {
        key = state;
        return *this;
    }
    Case &Before(const std::vector<Value> &values) {
        before = values;
        return *this;
    }
    Case &SystemDirectoryLength(size_t length) {
        system_dir_length = length;
        return *this;
    }
    // Run orvexsetup with these arguments (each as a shell would pass it,
    // texts in the ANSI code page, Windows-1252) instead of orvexinst.
    Case &Setup(const std::vector<std::string> &arguments) {
        program = Program::kSetup;
        args = arguments;
        return *this;
    }
    // The expectations.
    Case &Exit(int code) {
        exit_code = code;
        return *this;
    }
    // One message box; each call adds the next one.
    Case &Message(const std::string &caption_and_text) {
        messages.push_back(caption_and_text);
        return *this;
    }
    Case &After(const std::vector<Value> &values) {
        after = values;
        return *this;
    }
    Case &Absent(const std::vector<std::string> &names) {
        absent = names;
        return *this;
    }
    Case &Untouched() {
        untouched = true;
        return *this;
    }

    const char *name;
    DataFile data_file = DataFile::kText;
    std::string dat;
    Key key = Key::kPresent;
    // The values of the device key before the run.
    std::vector<Value> before;
    int exit_code = kNoExitCode;
    // Message boxes in order, as "caption: text".
    std::vector<std::string> messages;
    // Values that must hold exactly these types and bytes afterwards.
    std::vector<Value> after;
    // Values that must not exist afterwards.
    std::vector<std::string> absent;
    // The device key must be left exactly as it was.
    bool untouched = false;
    // The case needs a system directory of the given length (0: any).
    size_t system_dir_length = 0;
    Program program = Program::kInstaller;
    std::vector<std::string> args;
};

// Cases that need the POSIX stand-ins (a hive file, file modes, a mount), or
// orvexsetup without options (the usage on POSIX; on Windows the dialog, which
// has tests of its own); other runners skip them.
inline bool PosixOnly(const Case &c) {
    return c.key == Key::kUnparsable || c.key == Key::kDiskFull || c.key == Key::kNotReplaceable ||
           c.data_file == DataFile::kUnreadable || (c.program == Program::kSetup && c.args.empty());
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
inline Value Crt800() {
    return CrtTiming({0x40, 128, 88, 800, 40, 0, 1, 60, 4, 23, 600, 1, 0, 1});
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

// orvexsetup's data file: monitors whose names the list box, the command line
// and the registry must keep as they are (blanks, punctuation, a backslash, a
// byte of the ANSI code page), each with timings that tell it from Generic.
const char kProView[] = "Orvex ProView 17";               // 640x480: 60 Hz only
const char kZeta[] = "Zeta-View 15\\38cm; 100% (rev. B)"; // 800x600 and 640x480x72
const char kEcran[] = "Orvex \xC9"
                      "cran 17"; // 640x480: 60 Hz only

inline std::string SetupDat(const std::string &header = Header(), bool with_generic = true) {
    std::string monitors;
    if (with_generic)
        monitors += "[M0]\nname=Generic\ntiming0 = T0:640x480x60\ntiming1 = T1:640x480x72\n\n";
    monitors += "[M1]\nname=" + std::string(kProView) + "\ntiming0 = T0:640x480x60\n\n";
    monitors += "[M2]\nname=\"" + std::string(kZeta) +
                "\"\ntiming0 = T2:800x600x60\ntiming1 = T1:640x480x72\n\n";
    monitors += "[M3]\nname=" + std::string(kEcran) + "\ntiming0 = T0:640x480x60\n\n";
    return header + monitors + "[T0:640x480x60]\n" + Block60() + "\n[T1:640x480x72]\n" + Block72() +
           "\n[T2:800x600x60]\n" + Block800();
}

// The board settings of the typical header as orvexsetup stores them.
inline std::vector<Value> SetupSettings(const std::string &monitor, uint32_t size, uint32_t font) {
    return {Dword("BusType", 2),   Dword("MemBase", 0x80000000u), Dword("MemSize", size),
            Dword("MemConfig", 1), Dword("FontSize", font),       Sz("MonitorType", monitor)};
}

inline std::string SetupMessage(const std::string &text) {
    return "Orvex NT Driver Setup: " + text;
}
inline std::string SetupUsage() {
    return SetupMessage(
        "Usage: orvexsetup [/monitor:NAME] [/memsize:1|2] [/font:small|big]\n"
        "Without options the dialog asks (Windows only). An option left out takes the value "
        "the dialog preselects. A NAME with blanks goes in double quotes.");
}
inline std::string AcceptedOptions() {
    return "Accepted options:\n/monitor:NAME\n/memsize:1|2\n/font:small|big\n/?";
}

inline const char *LoadFailure() {
    return "Orvex NT Driver Install Error: Error reading ORVEXRES.DAT";
}

// The box naming the values an update could not write and the first error, in
// the wording of the installer's texts.
inline std::string WriteFailure(const char *names, int first_error) {
    char text[256];
    snprintf(text, sizeof text, GetInstallText(kTextWriteFailed), names, first_error);
    return std::string(GetInstallText(kTextRegistryCaption)) + ": " + text;
}

// ---------------------------------------------------------------------------
// The table
// ---------------------------------------------------------------------------

inline std::vector<Case> Cases() {
    const std::vector<Value> d72 = Defaults(640, 480, 72);
    // Every value the update writes, as the failure box names them.
    const char kAllWritten[] =
        "BusType, MemBase, MemSize, MemConfig, FontSize, MonitorType, CrtTiming";
    const Value old_timing = Binary("CrtTiming", std::string(56, '\x11'));

    return {
        Case("Typical")
            .Dat(TypicalDat())
            .Before(d72)
            .Exit(1)
            .After(With(With(Settings(2), {Crt72()}), d72)),
        Case("NoDataFile")
            .DataFileIs(DataFile::kMissing)
            .Before(d72)
            .Exit(0)
            .Message(LoadFailure())
            .Absent({"MemBase", "CrtTiming"})
            .Untouched(),
        Case("DataFileIsADirectory")
            .DataFileIs(DataFile::kDirectory)
            .Before(d72)
            .Exit(0)
            .Message(LoadFailure())
            .Absent({"MemBase"})
            .Untouched(),
        Case("DataFileUnreadable")
            .DataFileIs(DataFile::kUnreadable)
            .Dat(TypicalDat())
            .Before(d72)
            .Exit(0)
            .Message(LoadFailure())
            .Absent({"MemBase"})
            .Untouched(),
        Case("DataFileVanishesBeforeTheSecondRun")
            .DataFileIs(DataFile::kVanishes)
            .Dat(TypicalDat())
            .Before(d72)
            .Exit(0)
            .Message(LoadFailure())
            .After(With(With(Settings(2), {Crt72()}), d72)),
        Case("MalformedDataFile")
            .Dat(Dat(Header("", "", ""), "timing0 = T0:640x480x60\n"))
            .Before(d72)
            .Exit(0)
            .Message(LoadFailure())
            .Absent({"MemBase"})
            .Untouched(),
        Case("ResolutionWithoutBlock")
            .Dat(Dat(Header(), "timing0 = T9:800x600x60\n"))
            .Before(d72)
            .Exit(0)
            .Message(LoadFailure())
            .Absent({"MemBase"})
            .Untouched(),
        Case("KeyMissing")
            .Dat(TypicalDat())
            .KeyIs(Key::kMissing)
            .Exit(1)
            .Message("Message: Error: Unable to open key\nRegOpenKey = 2\nLine = 405")
            .Untouched(),
        Case("AccessDenied")
            .Dat(TypicalDat())
            .KeyIs(Key::kDenied)
            .Before(d72)
            .Exit(1)
            .Message("Message: Error: Unable to open key. Access Denied.")
            .Absent({"MemBase"})
            .Untouched(),
        Case("HiveUnparsable")
            .Dat(TypicalDat())
            .KeyIs(Key::kUnparsable)
            .Before(d72)
            .Exit(1)
            .Message("Message: Error: Unable to open key\nRegOpenKey = 1009\nLine = 405")
            .Untouched(),
        // Every change fails (ERROR_WRITE_FAULT), the delete of "CrtTiming" too;
        // each is still tried, and one box names them all. The hive keeps its
        // old bytes.
        Case("HiveOnAFullDisk")
            .Dat(TypicalDat())
            .KeyIs(Key::kDiskFull)
            .Before(With(d72, {old_timing}))
            .Exit(1)
            .Message(WriteFailure(kAllWritten, 29))
            .After(With(d72, {old_timing}))
            .Absent({"MemBase", "MonitorType"})
            .Untouched(),
        // Every commit is refused (ERROR_ACCESS_DENIED). "CrtTiming" did not
        // exist, so its delete is no failure; its store is.
        Case("HiveCannotBeReplaced")
            .Dat(TypicalDat())
            .KeyIs(Key::kNotReplaceable)
            .Before(d72)
            .Exit(1)
            .Message(WriteFailure(kAllWritten, 5))
            .After(d72)
            .Absent({"MemBase", "MonitorType", "CrtTiming"})
            .Untouched(),
        Case("RefreshNotFoundLastMatchStays")
            .Dat(TypicalDat())
            .Before(Defaults(640, 480, 75))
            .Exit(1)
            .After(With(Settings(2), {Crt72()})),
        Case("OnlyTheSixtyBlock")
            .Dat(Dat(Header(), "timing0 = T0:640x480x60\n"))
            .Before(d72)
            .Exit(1)
            .After(With(Settings(2), {Crt60()})),
        Case("ExactMatchEndsTheWalk")
            .Dat(Dat(Header(), "t0 = T2:800x600x60\nt1 = T1:640x480x72\nt2 = T0:640x480x60\n"))
            .Before(d72)
            .Exit(1)
            .After({Crt72()}),
        Case("VRefreshMissingFirstMatchWins")
            .Dat(TypicalDat())
            .Before({Dword("DefaultSettings.XResolution", 640),
                     Dword("DefaultSettings.YResolution", 480)})
            .Exit(1)
            .After(With(Settings(2), {Crt60()}))
            .Absent({"DefaultSettings.VRefresh"}),
        Case("VRefreshZeroAcceptsAny")
            .Dat(TypicalDat())
            .Before(Defaults(640, 480, 0))
            .Exit(1)
            .After({Crt60()}),
        Case("NoMatchingModeDeletesOldTiming")
            .Dat(TypicalDat())
            .Before(With(Defaults(1024, 768, 60), {old_timing}))
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        Case("XResolutionMissingMatchesNothing")
            .Dat(TypicalDat())
            .Before(
                {Dword("DefaultSettings.YResolution", 480), Dword("DefaultSettings.VRefresh", 72)})
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        Case("XResolutionOfWrongSizeMatchesNothing")
            .Dat(TypicalDat())
            .Before({Binary("DefaultSettings.XResolution", std::string("\x80\x02", 2)),
                     Dword("DefaultSettings.YResolution", 480),
                     Dword("DefaultSettings.VRefresh", 72)})
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        Case("YResolutionTooLargeMatchesNothing")
            .Dat(TypicalDat())
            .Before({Dword("DefaultSettings.XResolution", 640),
                     Binary("DefaultSettings.YResolution", Le32(480) + Le32(0)),
                     Dword("DefaultSettings.VRefresh", 72)})
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        Case("VRefreshOfWrongTypeButFourBytesCounts")
            .Dat(TypicalDat())
            .Before({Dword("DefaultSettings.XResolution", 640),
                     Dword("DefaultSettings.YResolution", 480),
                     Binary("DefaultSettings.VRefresh", Le32(72))})
            .Exit(1)
            .After({Crt72()}),
        Case("VRefreshOfWrongSizeAcceptsAny")
            .Dat(TypicalDat())
            .Before({Dword("DefaultSettings.XResolution", 640),
                     Dword("DefaultSettings.YResolution", 480),
                     Sz("DefaultSettings.VRefresh", "72")})
            .Exit(1)
            .After({Crt60()}),
        Case("YResolutionMissingMatchesNothing")
            .Dat(TypicalDat())
            .Before(
                {Dword("DefaultSettings.XResolution", 640), Dword("DefaultSettings.VRefresh", 72)})
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        // A REG_DWORD of two bytes is no number.
        Case("XResolutionDwordOfTwoBytesMatchesNothing")
            .Dat(TypicalDat())
            .Before({{"DefaultSettings.XResolution", kRegDword, std::string("\x80\x02", 2)},
                     Dword("DefaultSettings.YResolution", 480),
                     Dword("DefaultSettings.VRefresh", 72)})
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        // "640" and its NUL are four bytes: read as the number 0x00303436.
        Case("XResolutionTextOfFourBytesIsReadAsANumber")
            .Dat(TypicalDat())
            .Before({Sz("DefaultSettings.XResolution", "640"),
                     Dword("DefaultSettings.YResolution", 480),
                     Dword("DefaultSettings.VRefresh", 72)})
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        Case("ResolutionsOfWrongTypeButFourBytesCount")
            .Dat(TypicalDat())
            .Before({Binary("DefaultSettings.XResolution", Le32(640)),
                     Binary("DefaultSettings.YResolution", Le32(480)),
                     Dword("DefaultSettings.VRefresh", 72)})
            .Exit(1)
            .After({Crt72()}),
        Case("VRefreshEmptyAcceptsAny")
            .Dat(TypicalDat())
            .Before({Dword("DefaultSettings.XResolution", 640),
                     Dword("DefaultSettings.YResolution", 480),
                     Binary("DefaultSettings.VRefresh", "")})
            .Exit(1)
            .After({Crt60()}),
        Case("VRefreshTooLargeAcceptsAny")
            .Dat(TypicalDat())
            .Before({Dword("DefaultSettings.XResolution", 640),
                     Dword("DefaultSettings.YResolution", 480),
                     Binary("DefaultSettings.VRefresh", Le32(72) + Le32(0))})
            .Exit(1)
            .After({Crt60()}),
        // A timing id without a height ("T5:640x72" gives "640" and refresh 72)
        // matches no mode.
        Case("TimingIdWithoutHeightMatchesNothing")
            .Dat(Header() + "[M0]\nname=Generic\ntiming0 = T5:640x72\n\n[T5:640x72]\n" + Block72())
            .Before(d72)
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        Case("GenericMissingStoresSettingsOnly")
            .Dat(Dat(Header(), "timing0 = T1:640x480x72\n", "Other"))
            .Before(With(d72, {old_timing}))
            .Exit(1)
            .After(Settings(2))
            .Absent({"CrtTiming"}),
        Case("MonitorNameComparesIgnoringCase")
            .Dat(Dat(Header(), "timing0 = T1:640x480x72\n", "GENERIC"))
            .Before(d72)
            .Exit(1)
            .After({Crt72()}),
        Case("UnknownBusTypeLeavesBusType")
            .Dat(Dat(Header("BusType = ISA\n"), "timing0 = T1:640x480x72\n"))
            .Before(With(d72, {Dword("BusType", 3)}))
            .Exit(1)
            .After(With(Settings(3), {Crt72()})),
        Case("BlankPaddedBusTypeLeavesBusType")
            .Dat(Dat(Header("BusType = VESA ; local bus\n"), "timing0 = T1:640x480x72\n"))
            .Before(With(d72, {Dword("BusType", 1)}))
            .Exit(1)
            .After(Settings(1)),
        Case("NoBusTypeWritesNone")
            .Dat(Dat(Header(""), "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(0))
            .Absent({"BusType"}),
        Case("BusTypeOptiAnyCase")
            .Dat(Dat(Header("BusType = opti\n"), "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(1)),
        Case("BusTypePrefixIsUnknown")
            .Dat(Dat(Header("BusType = PC\n"), "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(0))
            .Absent({"BusType"}),
        Case("BusTypeWithTrailingCharacterIsUnknown")
            .Dat(Dat(Header("BusType = PCI~\n"), "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(0))
            .Absent({"BusType"}),
        Case("BusTypePci")
            .Dat(Dat(Header("BusType = Pci\n"), "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(3)),
        Case("MemoryVariants")
            .Dat(Dat(Header("BusType = VESA\n", "MemAddr = 0x8000\n", "MemSize = 2Meg\n",
                            "MemConfig = +3\n"),
                     "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(2, 0x80000000u, 2, 3)),
        Case("MemAddrBitsBeyond32AreLost")
            .Dat(Dat(Header("BusType = VESA\n", "MemAddr = 18000\n", "MemSize = 4294967298\n",
                            "MemConfig = -1\n"),
                     "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(2, 0x80000000u, 2, 0xFFFFFFFFu)),
        // Only blanks are cut from values: a tab stays, and the numbers skip it.
        Case("TabsBeforeNumbersAreSkipped")
            .Dat(Dat(Header("BusType = VESA\n", "MemAddr =\t-1\n", "MemSize =\t4\n",
                            "MemConfig =\t\t3\n"),
                     "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(2, 0xFFFF0000u, 4, 3)),
        Case("MemAddrMissingGivesZero")
            .Dat(Dat(Header("BusType = VESA\n", ""), "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(2, 0)),
        Case("MemAddrOutOfRange")
            .Dat(Dat(Header("BusType = VESA\n", "MemAddr = FFFFFFFFF\n"),
                     "timing0 = T1:640x480x72\n"))
            .Before(d72)
            .Exit(1)
            .After(Settings(2, 0xFFFF0000u)),
        Case("OtherValuesSurvive")
            .Dat(TypicalDat())
            .Before(With(d72,
                         {Sz("InstalledDisplayDrivers", "k5300"), Dword("MemSize", 4), old_timing}))
            .Exit(1)
            .After(With(With(Settings(2), {Crt72()}), {Sz("InstalledDisplayDrivers", "k5300"),
                                                       Dword("DefaultSettings.BitsPerPel", 8)})),
        // A system directory too long for the fixed path buffers (127 characters)
        // counts as a data file that cannot be read; one of 126 still works.
        Case("SystemDirectoryTooLong")
            .Dat(TypicalDat())
            .SystemDirectoryLength(127)
            .Before(d72)
            .Exit(0)
            .Message(LoadFailure())
            .Absent({"MemBase"})
            .Untouched(),
        Case("SystemDirectoryLongestThatFits")
            .Dat(TypicalDat())
            .SystemDirectoryLength(126)
            .Before(d72)
            .Exit(1)
            .After(With(Settings(2), {Crt72()})),

        // orvexsetup with options. The key's "MonitorType" and "FontSize" and
        // the file's MemSize preselect what an option leaves out.
        Case("SetupChosenMonitorMemorySizeAndFont")
            .Dat(SetupDat())
            .Before(With(d72, {Sz("MonitorType", "Generic"), Dword("FontSize", 0)}))
            .Setup({"/monitor:Orvex ProView 17", "/memsize:1", "/font:big"})
            .Exit(1)
            .After(With(With(SetupSettings(kProView, 1, 1), {Crt60()}), d72)),
        Case("SetupOptionsIgnoreCaseTheFileSpellsTheName")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({"/MONITOR:orvex PROVIEW 17", "/MemSize:2", "/Font:SMALL"})
            .Exit(1)
            .After(With(SetupSettings(kProView, 2, 0), {Crt60()})),
        Case("SetupOptionsLeftOutTakeTheKeysMonitorAndFont")
            .Dat(SetupDat(Header("BusType = VESA\n", "MemAddr = 8000\n", "MemSize = 1\n")))
            .Before(With(d72, {Sz("MonitorType", "ORVEX \xC9"
                                                 "CRAN 17"),
                               Dword("FontSize", 1)}))
            .Setup({"/memsize:2"})
            .Exit(1)
            .After(With(SetupSettings(kEcran, 2, 1), {Crt60()})),
        Case("SetupOptionsLeftOutTakeGenericAndTheFilesMemSize")
            .Dat(SetupDat(Header("BusType = VESA\n", "MemAddr = 8000\n", "MemSize = 1\n")))
            .Before(With(d72, {Sz("MonitorType", "Orvex ProView 19"), Dword("FontSize", 1)}))
            .Setup({"/font:small"})
            .Exit(1)
            .After(With(SetupSettings("Generic", 1, 0), {Crt72()})),
        // Without Generic the first monitor of the file; a MemSize other than 1
        // gives 2 Meg, a FontSize other than 1 Small.
        Case("SetupWithoutGenericTakesTheFirstMonitor")
            .Dat(SetupDat(Header("BusType = VESA\n", "MemAddr = 8000\n", "MemSize = 4\n"), false))
            .Before(With(d72, {Dword("FontSize", 2)}))
            .Setup({"/font:small"})
            .Exit(1)
            .After(With(SetupSettings(kProView, 2, 0), {Crt60()})),
        Case("SetupMonitorNameWithPunctuation")
            .Dat(SetupDat())
            .Before(Defaults(800, 600, 60))
            .Setup({std::string("/monitor:") + kZeta})
            .Exit(1)
            .After(With(SetupSettings(kZeta, 2, 0), {Crt800()})),
        Case("SetupMonitorNameWithAnAnsiByte")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({std::string("/monitor:") + kEcran, "/font:Big"})
            .Exit(1)
            .After(With(SetupSettings(kEcran, 2, 1), {Crt60()})),
        Case("SetupUnknownMonitorListsTheFilesMonitors")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({"/monitor:Orvex ProView 19", "/memsize:1"})
            .Exit(0)
            .Message(SetupMessage("Unknown monitor \"Orvex ProView 19\".\n"
                                  "The monitors of ORVEXRES.DAT:\n\"Generic\"\n\"" +
                                  std::string(kProView) + "\"\n\"" + kZeta + "\"\n\"" + kEcran +
                                  "\""))
            .Absent({"MemBase"})
            .Untouched(),
        // The argument comes back as it was given: quotes, blanks and
        // backslashes (before a quote, and at the end) included.
        Case("SetupUnknownOption")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({"/monitor:Generic", "/speed:a\\\"b c\\"})
            .Exit(0)
            .Message(SetupMessage("Unknown option \"/speed:a\\\"b c\\\".\n" + AcceptedOptions()))
            .Untouched(),
        Case("SetupBadMemorySize")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({"/memsize:4"})
            .Exit(0)
            .Message(SetupMessage("Bad memory size \"4\".\nAccepted: 1, 2"))
            .Untouched(),
        Case("SetupBadFontSize")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({"/font:huge"})
            .Exit(0)
            .Message(SetupMessage("Bad font size \"huge\".\nAccepted: small, big"))
            .Untouched(),
        Case("SetupOptionGivenTwice")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({"/font:big", "/FONT:small"})
            .Exit(0)
            .Message(SetupMessage("Option given twice \"/FONT:small\".\n" + AcceptedOptions()))
            .Untouched(),
        Case("SetupUsage")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({"/?"})
            .Exit(0)
            .Message(SetupUsage())
            .Untouched(),
        Case("SetupWithoutOptionsShowsTheUsage")
            .Dat(SetupDat())
            .Before(d72)
            .Setup({})
            .Exit(0)
            .Message(SetupUsage())
            .Untouched(),
        Case("SetupNoDataFile")
            .DataFileIs(DataFile::kMissing)
            .Before(d72)
            .Setup({"/monitor:Generic"})
            .Exit(0)
            .Message(LoadFailure())
            .Untouched(),
        Case("SetupKeyMissing")
            .Dat(SetupDat())
            .KeyIs(Key::kMissing)
            .Setup({"/monitor:Orvex ProView 17"})
            .Exit(1)
            .Message("Message: Error: Unable to open key\nRegOpenKey = 2\nLine = 405")
            .Untouched(),
        Case("SetupAccessDenied")
            .Dat(SetupDat())
            .KeyIs(Key::kDenied)
            .Before(d72)
            .Setup({"/font:big"})
            .Exit(1)
            .Message("Message: Error: Unable to open key. Access Denied.")
            .Absent({"MemBase"})
            .Untouched(),
    };
}

} // namespace e2e

#endif
