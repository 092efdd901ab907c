// What the Wine runners share when they play the end-to-end table
// (tests/e2e/cases.h) against Windows programs: the data file in the system
// directory of a 32-bit program, the device key set and read back by the
// helper e2e_regkey.exe, and the message boxes read from Wine's relay trace.
#ifndef ORVEX_TESTS_WINE_WINE_CASE_H
#define ORVEX_TESTS_WINE_WINE_CASE_H

#include <map>
#include <string>
#include <vector>

#include "e2e/cases.h"
#include "wine/wine_process.h"

namespace winetest {

// The system directory of the Windows build's programs on the Linux side: a
// 64-bit prefix redirects the system32 of a 32-bit program to syswow64; a
// 32-bit prefix has system32 only, and a 64-bit program uses system32.
std::string SystemDir();

// A value in e2e_regkey's line format: "TYPE HEX NAME".
std::string RegKeyLine(const e2e::Value &v);

// The key's state as e2e_regkey dumps it, parsed.
struct KeyDump {
    bool ok = false; // the dump was complete
    bool missing = false;
    std::map<std::string, std::string> lines; // name -> whole line
};
KeyDump ParseKeyDump(const std::string &text);

// The message boxes a relay trace shows, in order, as "caption: text" (a null
// text reads as "", a null caption as "Error", as Windows shows them). A line
// that cannot be read is reported as such, so that it fails any comparison.
std::vector<std::string> MessageBoxes(const std::string &trace);

// An argument of a case (ANSI code page, Windows-1252) as Wine's command line
// takes it: in the locale's UTF-8, which Wine turns into the same character.
// Bytes 0x80 to 0x9F, where Windows-1252 and Latin-1 differ, are refused
// (test failure).
std::string WineArgument(const std::string &ansi);

// Set up a case: its data file in the system directory, the relay trace of
// message boxes, the device key exactly as the case has it before the run
// (or removed, or denied). *before receives e2e_regkey's dump of the key.
// Fails the test (fatally) when the key cannot be set so.
void PrepareCase(const e2e::Case &c, const std::string &dir, const Environment &env,
                 std::string *before);

// The key after the run against the case: untouched (byte for byte as the
// dump `before`), still missing, the values of Case::after and none of
// Case::absent. The key as read goes to *after_out when given.
void CheckKeyAfter(const e2e::Case &c, const std::string &before, const std::string &dir,
                   const Environment &env, KeyDump *after_out = nullptr);

} // namespace winetest

#endif
