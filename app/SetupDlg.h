// Windows only. The Setup dialog: template 102 with its icon, the Windows
// realisation of SetupView, and the message map that hands the buttons to
// the SetupController.
#ifndef APP_SETUPDLG_H
#define APP_SETUPDLG_H

#include "app/framework/Framework.h"
#include "setup/SetupController.h"
#include "setup/SetupView.h"

class CSetupDlg : public CDialog, public SetupView {
public:
    explicit CSetupDlg(HWND parent = 0);

    // ---- SetupView ----
    void ShowControl(int id, bool visible);
    void SetControlText(int id, const char* text);
    void SetProgressRange(unsigned short lower, unsigned short upper);
    void SetProgressPos(int pos);
    void ShowMessage(const char* text, const char* caption, unsigned iconKind);
    void EndDialog(int result);

protected:
    // ---- overrides of CDialog ----
    void DoDataExchange(CDataExchange* pDX);
    BOOL OnInitDialog();

    // ---- message handlers ----
    void OnPaint();
    LRESULT OnQueryDragIcon();
    void OnExit();
    void OnInstall() { m_controller.OnInstall(); }
    void OnIde() { m_controller.OnIde(); }
    void OnScsi() { m_controller.OnScsi(); }
    void OnNext() { m_controller.OnNext(); }
    void OnUninstall() { m_controller.OnUninstall(); }
    DECLARE_MESSAGE_MAP()

private:
    CProgressCtrl m_progress;
    HICON m_hIcon;  // shared with the system's icon cache, never freed
    SetupController m_controller;
};

#endif
