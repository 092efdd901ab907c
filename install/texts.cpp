// The one table of the texts the installer's programs show.
#include "install/texts.h"

static const char *const kInstallTexts[] = {
    // kTextLoadFailureCaption, kTextLoadFailure
    "Orvex NT Driver Install Error",
    "Error reading ORVEXRES.DAT",
    // kTextOpenKeyCaption, kTextOpenKeyDenied, kTextOpenKeyFailed
    "Message",
    "Error: Unable to open key. Access Denied.",
    "Error: Unable to open key\nRegOpenKey = %d\nLine = %d",
    // kTextSetupCaption, kTextSetupUsage
    "Orvex NT Driver Setup",
    "Usage: orvexsetup [/monitor:NAME] [/memsize:1|2] [/font:small|big]\n"
    "Without options the dialog asks (Windows only). An option left out takes the "
    "value the dialog preselects. A NAME with blanks goes in double quotes.",
    // kTextUnknownOption, kTextAcceptedOptions (each a line of its own)
    "Unknown option ",
    "Accepted options:\n/monitor:NAME\n/memsize:1|2\n/font:small|big\n/?",
    // kTextOptionTwice
    "Option given twice ",
    // kTextBadMemSize, kTextAcceptedMemSizes
    "Bad memory size ",
    "Accepted: 1, 2",
    // kTextBadFontSize, kTextAcceptedFontSizes
    "Bad font size ",
    "Accepted: small, big",
    // kTextUnknownMonitor, kTextAcceptedMonitors (then one quoted name a line),
    // kTextNoMonitors
    "Unknown monitor ",
    "The monitors of ORVEXRES.DAT:",
    "ORVEXRES.DAT names no monitor.",
    // kTextNoDialog (then the error number)
    "The dialog cannot be shown. Error ",
};

static_assert(sizeof kInstallTexts / sizeof kInstallTexts[0] == kInstallTextCount,
              "one text for each entry of InstallText");

const char *GetInstallText(InstallText text) {
    return kInstallTexts[text];
}
