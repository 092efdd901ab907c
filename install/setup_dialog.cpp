// orvexsetup's dialog (Windows only): INSTALLDIALOG as the template has it,
// with the choice preselected; OK installs what it shows.
#include <windows.h>

#include "install/install_dialog.h"
#include "install/setup.h"
#include "resdat/resdat.h"

// The choice the running dialog shows and changes.
static Tag_Setup_Choice *dialog_choice = nullptr;

// The list box sorts the names; each item keeps the database's own text as
// its data, so that the choice is the file's name byte for byte.
static void FillMonitorList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_MONITOR_LIST);
    for (const char *name = EnumMonitorNames(TRUE); name != nullptr;
         name = EnumMonitorNames(FALSE)) {
        LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (index >= 0)
            SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(name));
    }
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        LRESULT data = SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
        if (reinterpret_cast<const char *>(data) == dialog_choice->monitor) {
            SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
            break;
        }
    }
}

// The static text names the monitor of the choice.
static void ShowMonitor(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_MONITOR_TEXT, dialog_choice->monitor);
}

static void TakeSelectedMonitor(HWND dialog) {
    LRESULT index = SendDlgItemMessageA(dialog, IDC_MONITOR_LIST, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return;
    LRESULT data = SendDlgItemMessageA(dialog, IDC_MONITOR_LIST, LB_GETITEMDATA,
                                       static_cast<WPARAM>(index), 0);
    if (data != 0 && data != LB_ERR)
        dialog_choice->monitor = reinterpret_cast<const char *>(data);
    ShowMonitor(dialog);
}

static INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    (void)lparam;
    switch (message) {
    case WM_INITDIALOG:
        FillMonitorList(dialog);
        ShowMonitor(dialog);
        CheckRadioButton(dialog, IDC_MEMORY_1MEG, IDC_MEMORY_2MEG,
                         dialog_choice->memsize == 1 ? IDC_MEMORY_1MEG : IDC_MEMORY_2MEG);
        CheckRadioButton(dialog, IDC_FONT_SMALL, IDC_FONT_BIG,
                         dialog_choice->fontsize == 1 ? IDC_FONT_BIG : IDC_FONT_SMALL);
        return TRUE; // the focus goes to the first control, the list
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_MONITOR_LIST:
            if (HIWORD(wparam) == LBN_SELCHANGE)
                TakeSelectedMonitor(dialog);
            return TRUE;
        case IDOK:
            dialog_choice->memsize = IsDlgButtonChecked(dialog, IDC_MEMORY_1MEG) ? 1 : 2;
            dialog_choice->fontsize = IsDlgButtonChecked(dialog, IDC_FONT_BIG) ? 1 : 0;
            InstallSetupChoice(dialog_choice, dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL: // Cancel, Escape and the close box alike
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int RunSetupDialog(HINSTANCE instance, Tag_Setup_Choice *choice) {
    dialog_choice = choice;
    INT_PTR result = DialogBoxParamA(instance, "INSTALLDIALOG", nullptr, SetupDialogProc, 0);
    dialog_choice = nullptr;
    if (result == IDOK)
        return 1;
    return result == -1 ? -1 : 0;
}
