// Every text the installer's programs (orvexinst, orvexsetup) show in their
// message boxes, in one table. The dialog's own texts are in its template
// (install.rc).
#ifndef ORVEX_INSTALL_TEXTS_H
#define ORVEX_INSTALL_TEXTS_H

enum InstallText {
    // The data file cannot be loaded (both programs).
    kTextLoadFailureCaption,
    kTextLoadFailure,
    // The device key cannot be opened (the registry update). The second is a
    // wsprintfA format taking the status and the line number.
    kTextOpenKeyCaption,
    kTextOpenKeyDenied,
    kTextOpenKeyFailed,
    // orvexsetup's own boxes.
    kTextSetupCaption,
    kTextSetupUsage,
    kTextUnknownOption,
    kTextAcceptedOptions,
    kTextOptionTwice,
    kTextBadMemSize,
    kTextAcceptedMemSizes,
    kTextBadFontSize,
    kTextAcceptedFontSizes,
    kTextUnknownMonitor,
    kTextAcceptedMonitors,
    kTextNoMonitors,
    kTextNoDialog,
    kInstallTextCount
};

// The text of the table entry; "" for a value outside the table.
const char *GetInstallText(InstallText text);

#endif
