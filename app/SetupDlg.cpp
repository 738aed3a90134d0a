// Windows only.
#include "app/SetupDlg.h"

#include "setup/ControlIds.h"
#include "setup/DialogGeometry.h"
#include "setup/FirstScreen.h"

BEGIN_MESSAGE_MAP(CSetupDlg)
    ON_WM_PAINT(CSetupDlg)
    ON_WM_QUERYDRAGICON(CSetupDlg)
    ON_BN_CLICKED(IDC_EXIT, CSetupDlg, OnExit)
    ON_BN_CLICKED(IDC_INSTALL, CSetupDlg, OnInstall)
    ON_BN_CLICKED(IDC_IDE, CSetupDlg, OnIde)
    ON_BN_CLICKED(IDC_SCSI, CSetupDlg, OnScsi)
    ON_BN_CLICKED(IDC_NEXT, CSetupDlg, OnNext)
    ON_BN_CLICKED(IDC_UNINSTALL, CSetupDlg, OnUninstall)
END_MESSAGE_MAP()

CSetupDlg::CSetupDlg(HWND parent)
    : CDialog(IDD_SETUP_DIALOG, parent),
      m_hIcon((HICON)::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 0, 0,
                                  LR_DEFAULTSIZE | LR_SHARED)),
      m_controller(*this) {}

void CSetupDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL CSetupDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
    SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_hIcon);
    PrepareFirstScreen(*this);
    return TRUE;
}

void CSetupDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.m_hDC, 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON), iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    ::DrawIcon(dc.m_hDC, CenteredIconOffset(client.right - client.left, iconWidth),
               CenteredIconOffset(client.bottom - client.top, iconHeight), m_hIcon);
}

LRESULT CSetupDlg::OnQueryDragIcon() { return (LRESULT)m_hIcon; }

void CSetupDlg::OnExit() { EndDialog(IDC_EXIT); }

void CSetupDlg::ShowControl(int id, bool visible) { ::ShowWindow(GetDlgItem(id), visible ? SW_SHOW : SW_HIDE); }

void CSetupDlg::SetControlText(int id, const char* text) { ::SetWindowTextA(GetDlgItem(id), text); }

void CSetupDlg::SetProgressRange(unsigned short lower, unsigned short upper) { m_progress.SetRange(lower, upper); }

void CSetupDlg::SetProgressPos(int pos) { m_progress.SetPos(pos); }

void CSetupDlg::ShowMessage(const char* text, const char* caption, unsigned iconKind) {
    ::MessageBoxA(m_hWnd, text, caption, MB_OK | iconKind);
}

void CSetupDlg::EndDialog(int result) { CDialog::EndDialog(result); }
