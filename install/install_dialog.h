// The control identifiers of the dialog INSTALLDIALOG (install.rc), for the
// template and for the code that runs it.
#ifndef ORVEX_INSTALL_DIALOG_H
#define ORVEX_INSTALL_DIALOG_H

#define IDC_MONITOR_LIST 101
#define IDC_MONITOR_GROUP 102
#define IDC_MEMORY_GROUP 103
#define IDC_MEMORY_1MEG 104
#define IDC_MEMORY_2MEG 105
#define IDC_MONITOR_TEXT 110
#define IDC_FONT_SMALL 113
#define IDC_FONT_BIG 114
#define IDC_FONT_GROUP 115

#endif
