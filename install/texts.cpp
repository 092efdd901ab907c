// The one table of the texts the installer's programs show.
#include "install/texts.h"

#include <stddef.h>

namespace {

struct Tag_Install_Text_Row {
    InstallText id;
    const char *text;
};

constexpr Tag_Install_Text_Row kInstallTexts[] = {
    {kTextLoadFailureCaption, "Orvex NT Driver Install Error"},
    {kTextLoadFailure, "Error reading ORVEXRES.DAT"},
    {kTextRegistryCaption, "Message"},
    {kTextOpenKeyDenied, "Error: Unable to open key. Access Denied."},
    {kTextOpenKeyFailed, "Error: Unable to open key\nRegOpenKey = %d\nLine = %d"},
    {kTextWriteFailed, "Error: Unable to write the values\n%s\nFirst error = %d"},
    {kTextSetupCaption, "Orvex NT Driver Setup"},
    {kTextSetupUsage,
     "Usage: orvexsetup [/monitor:NAME] [/memsize:1|2] [/font:small|big]\n"
     "Without options the dialog asks (Windows only). An option left out takes the "
     "value the dialog preselects. A NAME with blanks goes in double quotes."},
    {kTextUnknownOption, "Unknown option "},
    {kTextAcceptedOptions, "Accepted options:\n/monitor:NAME\n/memsize:1|2\n/font:small|big\n/?"},
    {kTextOptionTwice, "Option given twice "},
    {kTextBadMemSize, "Bad memory size "},
    {kTextAcceptedMemSizes, "Accepted: 1, 2"},
    {kTextBadFontSize, "Bad font size "},
    {kTextAcceptedFontSizes, "Accepted: small, big"},
    {kTextUnknownMonitor, "Unknown monitor "},
    {kTextAcceptedMonitors, "The monitors of ORVEXRES.DAT:"},
    {kTextNoMonitors, "ORVEXRES.DAT names no monitor."},
    {kTextNoDialog, "The dialog cannot be shown. Error "},
};

constexpr size_t kInstallTextRows = sizeof kInstallTexts / sizeof kInstallTexts[0];

// The table lists the texts in the order of their ids, each once.
constexpr bool InOrder() {
    for (size_t i = 0; i < kInstallTextRows; ++i)
        if (kInstallTexts[i].id != static_cast<InstallText>(i))
            return false;
    return kInstallTextRows == kInstallTextCount;
}
static_assert(InOrder(), "one text for each entry of InstallText, in the order of their values");

} // namespace

const char *GetInstallText(InstallText text) {
    size_t row = static_cast<size_t>(text);
    return row < kInstallTextRows ? kInstallTexts[row].text : "";
}
