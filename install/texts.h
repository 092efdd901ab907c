// Every text the installer's programs (orvexinst, orvexsetup) show in their
// message boxes, in one table. The dialog's own texts are in its template
// (install.rc).
#ifndef ORVEX_INSTALL_TEXTS_H
#define ORVEX_INSTALL_TEXTS_H

enum InstallText {
    // The data file cannot be loaded (both programs).
    kTextLoadFailureCaption,
    kTextLoadFailure,
    // The registry update's boxes: their caption; the device key cannot be
    // opened (the second a wsprintfA format taking the status and the line
    // number); values could not be written (a wsprintfA format taking the
    // names of the values and the first error code).
    kTextRegistryCaption,
    kTextOpenKeyDenied,
    kTextOpenKeyFailed,
    kTextWriteFailed,
    // orvexsetup's own boxes. A bad option is named after its kind's text,
    // then what is accepted follows on lines of its own; the accepted monitors
    // follow one quoted name a line; the error number follows kTextNoDialog.
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
