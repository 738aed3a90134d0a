// Control identifiers of the Setup dialog (template 102) and the icon kinds of
// its message boxes. Shared by the platform-neutral setup logic, the dialog
// resources and the tests; plain #defines so the resource compiler reads it too.
#ifndef SETUP_CONTROLIDS_H
#define SETUP_CONTROLIDS_H

#define IDD_SETUP_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_EXIT 1000
#define IDC_INSTALL 1001
#define IDC_UNINSTALL 1002
#define IDC_IDE 1004
#define IDC_SCSI 1005
#define IDC_PROGRESS 1006
#define IDC_NEXT 1008
#define IDC_LABEL 1010
#define IDC_VERSION 1011
#define IDC_PROMPT 1012

// Message box icon kinds, as the MB_ICON* values of the Windows API.
#define SETUP_MB_ICONHAND 16
#define SETUP_MB_ICONQUESTION 32

#endif
