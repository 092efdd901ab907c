// orvexsetup: the installer with a choice of monitor, memory size and font
// size, made in the dialog INSTALLDIALOG or given on the command line.
//
// The command line (one string, as WinMain receives it) is cut into arguments
// by the rules of the Windows C runtime: blanks and tabs separate arguments; a
// double quote starts or ends a quoted part, in which blanks are kept
// (/monitor:"Orvex ProView 17"); \" is a quote of the text; backslashes are
// taken as they are except before a quote, where each pair gives one.
// Options: /monitor:NAME, /memsize:1|2, /font:small|big (option names and the
// words small and big ignoring case; each option at most once) and /? for the
// usage. NAME is looked up ignoring case, and the file's own spelling is used.
#ifndef ORVEX_INSTALL_SETUP_H
#define ORVEX_INSTALL_SETUP_H

#include <stddef.h>
#include <stdint.h>

#include "platform/win32_api.h"

// The longest argument taken, without its NUL; longer ones are bad options.
enum { kSetupArgumentMax = 511 };

// What the command line asks for.
enum SetupRequest {
    kRequestDialog,     // no argument at all
    kRequestUsage,      // /?
    kRequestUnattended, // options only, each well formed
    kRequestBadOption,  // a bad option or value: Tag_Setup_Options::message says which
};

// The options of a command line. Those not given keep the preselection.
struct Tag_Setup_Options {
    bool has_monitor;
    char monitor[kSetupArgumentMax + 1];
    bool monitor_cut; // the name was longer than the room above
    bool has_memsize;
    uint32_t memsize; // 1 or 2
    bool has_font;
    uint32_t fontsize; // 0 small, 1 big
};

// A choice of the three: the monitor (a name the database owns, or
// kGenericMonitor when the file names no monitor), memsize 1 or 2, fontsize 0
// (small) or 1 (big).
struct Tag_Setup_Choice {
    const char *monitor;
    uint32_t memsize;
    uint32_t fontsize;
};

// The next argument of a command line, cut by the rules above, copied into
// argument (NUL-terminated; at most size - 1 bytes, the rest dropped).
// *cursor moves past it. Returns false when no argument is left. *length
// (when given) receives the argument's full length, even when cut.
bool ReadCommandLineArgument(const char **cursor, char *argument, size_t size, size_t *length);

// Read the options of the command line. A bad option stops the reading; the
// message to show is then in the text GetSetupMessage returns.
SetupRequest ParseSetupOptions(const char *command_line, Tag_Setup_Options *options);

// The dialog's preselection, from the device key (read only; a key that cannot
// be opened gives no preselection of its own) and the loaded data file:
//   monitor   the key's "MonitorType" when the file has that monitor, else
//             "Generic" when it has that, else the file's first monitor
//   memsize   1 when the file's MemSize reads as 1, else 2
//   fontsize  1 when the key's "FontSize" is the number 1, else 0
void PreselectSetupChoice(Tag_Setup_Choice *choice);

// Lay the given options over a choice. False when the monitor named is not in
// the file; the message is then in GetSetupMessage's text.
bool ApplySetupOptions(const Tag_Setup_Options *options, Tag_Setup_Choice *choice);

// Install the choice: memsize, fontsize and szMonitorSelect set from it, then
// UpdateRegistry(owner).
void InstallSetupChoice(const Tag_Setup_Choice *choice, HWND owner);

// The message the last failing operation above composed (the usage after
// ComposeSetupUsage), and showing it in a box with orvexsetup's caption.
void ComposeSetupUsage(void);
void ComposeDialogFailure(unsigned long error);
const char *GetSetupMessage(void);
void ShowSetupMessage(bool is_error);

#ifdef _WIN32
// Show INSTALLDIALOG with the choice preselected (setup_dialog.cpp). OK
// installs the choice made and gives 1; Cancel, Escape and closing give 0; -1
// when the dialog cannot be shown (GetLastError says why).
int RunSetupDialog(HINSTANCE instance, Tag_Setup_Choice *choice);
#endif

#endif
