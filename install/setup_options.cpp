// orvexsetup's choice: the command line read, the dialog's preselection, the
// choice installed, and the messages composed for it.
#include "install/setup.h"

#include <stdio.h>
#include <string.h>

#include "common/ascii.h"
#include "install/device_key.h"
#include "install/install.h"
#include "install/texts.h"

// The message being composed. A text longer than the room ends in "...".
static char setup_message[8192];
static size_t setup_message_length = 0;

static void ClearMessage(void) {
    setup_message_length = 0;
    setup_message[0] = '\0';
}

static void AppendMessage(const char *text) {
    static const char kCut[] = "...";
    const size_t room = sizeof setup_message - sizeof kCut; // keeps room for the mark
    size_t length = strlen(text);
    if (setup_message_length > room)
        return; // already cut
    if (length > room - setup_message_length) {
        memcpy(setup_message + setup_message_length, text, room - setup_message_length);
        memcpy(setup_message + room, kCut, sizeof kCut);
        setup_message_length = room + 1; // past the room: cut
        return;
    }
    memcpy(setup_message + setup_message_length, text, length + 1);
    setup_message_length += length;
}

// "PREFIX"VALUE[...]".\nACCEPTED"
static void ComposeBadValue(InstallText what, const char *value, bool cut, InstallText accepted) {
    ClearMessage();
    AppendMessage(GetInstallText(what));
    AppendMessage("\"");
    AppendMessage(value);
    AppendMessage(cut ? "...\".\n" : "\".\n");
    AppendMessage(GetInstallText(accepted));
}

void ComposeSetupUsage(void) {
    ClearMessage();
    AppendMessage(GetInstallText(kTextSetupUsage));
}

void ComposeDialogFailure(unsigned long error) {
    char number[24];
    size_t at = sizeof number - 1;
    number[at] = '\0';
    do {
        number[--at] = static_cast<char>('0' + error % 10);
        error /= 10;
    } while (error != 0 && at > 0);
    ClearMessage();
    AppendMessage(GetInstallText(kTextNoDialog));
    AppendMessage(number + at);
    AppendMessage(".");
}

const char *GetSetupMessage(void) {
    return setup_message;
}

void ShowSetupMessage(bool is_error) {
    MessageBoxA(nullptr, setup_message, GetInstallText(kTextSetupCaption),
                is_error ? MB_ICONERROR | MB_OK : MB_OK);
}

// ---------------------------------------------------------------------------
// The command line
// ---------------------------------------------------------------------------

static bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool ReadCommandLineArgument(const char **cursor, char *argument, size_t size, size_t *length) {
    const char *p = *cursor;
    while (IsBlank(*p))
        ++p;
    *cursor = p;
    if (*p == '\0' || size == 0)
        return false;
    size_t full = 0;
    auto put = [&](char c) {
        if (full + 1 < size)
            argument[full] = c;
        ++full;
    };
    bool quoted = false;
    while (*p != '\0' && (quoted || !IsBlank(*p))) {
        if (*p == '\\') {
            size_t backslashes = 0;
            for (; *p == '\\'; ++p)
                ++backslashes;
            // Before a quote each pair gives one backslash, and an odd one
            // makes the quote part of the text; elsewhere they all count.
            size_t kept = *p == '"' ? backslashes / 2 : backslashes;
            for (size_t i = 0; i < kept; ++i)
                put('\\');
            if (*p == '"' && backslashes % 2 == 1) {
                put('"');
                ++p;
            }
            continue;
        }
        if (*p == '"')
            quoted = !quoted;
        else
            put(*p);
        ++p;
    }
    argument[full < size ? full : size - 1] = '\0';
    if (length != nullptr)
        *length = full;
    *cursor = p;
    return true;
}

// The value of "/NAME:VALUE" when the argument is that option (the name
// ignoring case), else null.
static const char *FindOptionValue(const char *argument, const char *name) {
    if (argument[0] != '/')
        return nullptr;
    const char *colon = strchr(argument, ':');
    if (colon == nullptr ||
        !AsciiEqualIgnoringCase(
            std::string_view(argument + 1, static_cast<size_t>(colon - argument - 1)), name))
        return nullptr;
    return colon + 1;
}

SetupRequest ParseSetupOptions(const char *command_line, Tag_Setup_Options *options) {
    *options = Tag_Setup_Options{};
    ClearMessage();
    const char *cursor = command_line != nullptr ? command_line : "";
    char argument[kSetupArgumentMax + 1];
    size_t length = 0;
    bool any = false;
    while (ReadCommandLineArgument(&cursor, argument, sizeof argument, &length)) {
        any = true;
        bool cut = length > kSetupArgumentMax;
        if (strcmp(argument, "/?") == 0)
            return kRequestUsage;
        const char *monitor = FindOptionValue(argument, "monitor");
        const char *mem = FindOptionValue(argument, "memsize");
        const char *font = FindOptionValue(argument, "font");
        bool *given = monitor != nullptr ? &options->has_monitor
                      : mem != nullptr   ? &options->has_memsize
                      : font != nullptr  ? &options->has_font
                                         : nullptr;
        if (given == nullptr) {
            ComposeBadValue(kTextUnknownOption, argument, cut, kTextAcceptedOptions);
            return kRequestBadOption;
        }
        if (*given) {
            ComposeBadValue(kTextOptionTwice, argument, cut, kTextAcceptedOptions);
            return kRequestBadOption;
        }
        *given = true;
        if (monitor != nullptr) {
            strcpy(options->monitor, monitor); // a part of argument: it fits
            options->monitor_cut = cut;
        } else if (mem != nullptr) {
            if (cut || (strcmp(mem, "1") != 0 && strcmp(mem, "2") != 0)) {
                ComposeBadValue(kTextBadMemSize, mem, cut, kTextAcceptedMemSizes);
                return kRequestBadOption;
            }
            options->memsize = mem[0] == '1' ? 1 : 2;
        } else {
            bool small = AsciiEqualIgnoringCase(font, "small");
            if (cut || (!small && !AsciiEqualIgnoringCase(font, "big"))) {
                ComposeBadValue(kTextBadFontSize, font, cut, kTextAcceptedFontSizes);
                return kRequestBadOption;
            }
            options->fontsize = small ? 0 : 1;
        }
    }
    return any ? kRequestUnattended : kRequestDialog;
}

// ---------------------------------------------------------------------------
// The choice
// ---------------------------------------------------------------------------

void PreselectSetupChoice(Tag_Setup_Choice *choice) {
    char monitor_type[256];
    bool have_monitor_type = false;
    uint32_t font = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(hKeyRoot, szRegPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        DWORD type = REG_NONE;
        DWORD size = sizeof monitor_type - 1; // room for a NUL the value may lack
        if (RegQueryValueExA(key, kValueMonitorType, nullptr, &type,
                             reinterpret_cast<BYTE *>(monitor_type), &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            monitor_type[size] = '\0';
            have_monitor_type = true;
        }
        uint32_t number = 0;
        if (QueryRegistryNumber(key, kValueFontSize, &number) && number == 1)
            font = 1;
        RegCloseKey(key);
    }

    Tag_Monitor_Entry *head = GetMonitorEntryHead();
    Tag_Monitor_Entry *monitor = have_monitor_type ? FindMonitorEntry(monitor_type, head) : nullptr;
    if (monitor == nullptr)
        monitor = FindMonitorEntry(kGenericMonitor, head);
    const char *name = monitor != nullptr ? monitor->monitor_id_string : EnumMonitorNames(TRUE);
    choice->monitor = name != nullptr ? name : kGenericMonitor;
    choice->memsize = memsize == 1 ? 1 : 2;
    choice->fontsize = font;
}

bool ApplySetupOptions(const Tag_Setup_Options *options, Tag_Setup_Choice *choice) {
    if (options->has_monitor) {
        Tag_Monitor_Entry *monitor =
            options->monitor_cut ? nullptr
                                 : FindMonitorEntry(options->monitor, GetMonitorEntryHead());
        if (monitor == nullptr) {
            const char *name = EnumMonitorNames(TRUE);
            ComposeBadValue(kTextUnknownMonitor, options->monitor, options->monitor_cut,
                            name != nullptr ? kTextAcceptedMonitors : kTextNoMonitors);
            for (; name != nullptr; name = EnumMonitorNames(FALSE)) {
                AppendMessage("\n\"");
                AppendMessage(name);
                AppendMessage("\"");
            }
            return false;
        }
        choice->monitor = monitor->monitor_id_string;
    }
    if (options->has_memsize)
        choice->memsize = options->memsize;
    if (options->has_font)
        choice->fontsize = options->fontsize;
    return true;
}

void InstallSetupChoice(const Tag_Setup_Choice *choice, HWND owner) {
    memsize = choice->memsize;
    fontsize = choice->fontsize;
    // The file's names come from lines shorter than szMonitorSelect; a longer
    // name would be cut, never overrun it.
    strncpy(szMonitorSelect, choice->monitor, sizeof szMonitorSelect - 1);
    szMonitorSelect[sizeof szMonitorSelect - 1] = '\0';
    UpdateRegistry(owner);
}
