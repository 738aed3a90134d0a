// Windows only.
#include "app/framework/Framework.h"

#include <commctrl.h>

CWinApp* CWinApp::s_current = 0;

CWinApp::CWinApp(const char*) : m_hInstance(0), m_pMainWnd(0) { s_current = this; }

BOOL CWinApp::InitInstance() { return FALSE; }

HINSTANCE AfxGetInstanceHandle() { return CWinApp::Current()->m_hInstance; }

// The program links no C runtime: this is the process's entry point, the
// name the linker looks for in a GUI program. It runs the constructors of
// the process-wide objects (the one application object among them), hands
// the module to the application, runs InitInstance and ends the process;
// nothing of the program runs after that. The linker gathers the
// constructors of the static objects between these two labels: a -1 first,
// the constructors, a 0 last.
typedef void (*StaticConstructor)();
extern "C" StaticConstructor __CTOR_LIST__[];

static void RunStaticConstructors() {
    // Like the runtime's start-up, from the last entry to the first.
    StaticConstructor* last = __CTOR_LIST__ + 1;
    while (*last) ++last;
    while (--last > __CTOR_LIST__) (*last)();
}

extern "C" __attribute__((used)) void WinMainCRTStartup() {
    RunStaticConstructors();
    UINT exitCode = (UINT)-1;
    if (CWinApp* app = CWinApp::Current()) {
        app->m_hInstance = ::GetModuleHandleA(0);
        app->InitInstance();
        exitCode = 0;
    }
    ::ExitProcess(exitCode);
}

// A pure virtual function called through an incomplete object: end quietly
// instead of pulling in the C++ runtime's terminate machinery.
extern "C" void __cxa_pure_virtual() { ExitProcess(255); }

void CProgressCtrl::SetRange(unsigned short lower, unsigned short upper) {
    ::SendMessageA(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

int CProgressCtrl::SetPos(int position) { return (int)::SendMessageA(m_hWnd, PBM_SETPOS, position, 0); }

void DDX_Control(CDataExchange* pDX, int id, CProgressCtrl& control) {
    if (!control.m_hWnd) control.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(id);
}

CPaintDC::CPaintDC(CDialog* window) : m_hWnd(window->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }

CPaintDC::~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

CDialog::CDialog(UINT templateId, HWND parent)
    : m_hWnd(0), m_templateId(templateId), m_parent(parent), m_defaultRequested(false) {}

INT_PTR CDialog::DoModal() {
    // The progress bar's window class lives in the common-controls library.
    // InitCommonControlsEx is missing from the first Windows 95 release.
    ::InitCommonControls();
    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId), m_parent, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::OnInitDialog() {
    CDataExchange exchange(this);
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
    } else {
        dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    }
    return dialog ? dialog->OnMessage(message, wParam, lParam) : FALSE;
}

const MessageMapEntry* CDialog::FindEntry(UINT message, WPARAM wParam) const {
    for (const MessageMapEntry* entry = GetMessageMap(); entry && entry->message; ++entry) {
        if (entry->message != message) continue;
        if (message != WM_COMMAND || (entry->code == HIWORD(wParam) && entry->id == LOWORD(wParam))) return entry;
    }
    return 0;
}

INT_PTR CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        RECT before;
        ::GetWindowRect(m_hWnd, &before);
        const BOOL result = OnInitDialog();
        CenterIfNotPlaced(before);
        return result;
    }
    if (const MessageMapEntry* entry = FindEntry(message, wParam)) {
        if (entry->resultHandler) return (this->*entry->resultHandler)();
        m_defaultRequested = false;
        (this->*entry->handler)();
        return m_defaultRequested ? FALSE : TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

// A dialog that neither moved nor showed itself while initialising, and whose
// template asks for no placement of its own, is centred in the work area.
void CDialog::CenterIfNotPlaced(const RECT& before) {
    const LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    if (style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) return;
    RECT now;
    ::GetWindowRect(m_hWnd, &now);
    if (::IsWindowVisible(m_hWnd) || now.left != before.left || now.top != before.top) return;
    RECT area;
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
        area.left = area.top = 0;
        area.right = ::GetSystemMetrics(SM_CXSCREEN);
        area.bottom = ::GetSystemMetrics(SM_CYSCREEN);
    }
    const int width = now.right - now.left, height = now.bottom - now.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(m_hWnd, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
