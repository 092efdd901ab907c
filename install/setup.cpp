// orvexsetup: the installer with a choice. Without options it shows the dialog
// INSTALLDIALOG (Windows; elsewhere it shows its usage); with options
// (install/setup.h) it installs without asking. The start-up, the registry
// update and the exit codes are the installer's: 0 when the data file cannot
// be loaded, nothing is chosen or an option is bad; 1 when the registry
// update ran.
#include "install/install.h"
#include "install/setup.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    (void)hPrevInstance;
    (void)nCmdShow;

    Tag_Setup_Options options;
    SetupRequest request = ParseSetupOptions(lpCmdLine, &options);
#ifndef _WIN32
    if (request == kRequestDialog)
        request = kRequestUsage; // no dialog here
#endif
    if (request == kRequestBadOption || request == kRequestUsage) {
        if (request == kRequestUsage)
            ComposeSetupUsage();
        ShowSetupMessage(request == kRequestBadOption);
        return 0;
    }

    if (!LoadInstallData())
        return 0;
    Tag_Setup_Choice choice;
    PreselectSetupChoice(&choice);

#ifdef _WIN32
    if (request == kRequestDialog) {
        int result = RunSetupDialog(hInstance, &choice);
        if (result < 0) {
            ComposeDialogFailure(GetLastError());
            ShowSetupMessage(true);
            return 0;
        }
        return result;
    }
#else
    (void)hInstance;
#endif

    if (!ApplySetupOptions(&options, &choice)) {
        ShowSetupMessage(true);
        return 0;
    }
    InstallSetupChoice(&choice, nullptr);
    return 1;
}
