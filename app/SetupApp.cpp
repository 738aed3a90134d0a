// Windows only. The application object: it runs the Setup dialog modally as
// the main window and ends the program when the dialog ends.
#include "app/SetupDlg.h"
#include "platform/Win32SystemServices.h"
#include "setup/SetupState.h"

class CSetupApp : public CWinApp {
public:
    CSetupApp() { UseSystemServices(&m_system); }
    BOOL InitInstance();

private:
    Win32SystemServices m_system;
};

BOOL CSetupApp::InitInstance() {
    CSetupDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}

CSetupApp theApp;
