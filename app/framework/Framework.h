// Windows only. A small application framework for one modal dialog: the
// application object that the entry point runs, a modal dialog base with
// data exchange and a message map, a progress-bar wrapper and a paint-DC
// guard. It knows nothing of Setup.
#ifndef APP_FRAMEWORK_FRAMEWORK_H
#define APP_FRAMEWORK_FRAMEWORK_H

#include <windows.h>

class CDialog;

// The application. Its one instance is a process-wide object, constructed
// by the entry point before it calls InitInstance; the process ends when
// InitInstance returns.
class CWinApp {
public:
    explicit CWinApp(const char* appName = 0);

    // ---- virtual functions you might override ----
    // Returns TRUE to go on running; the process ends when it returns FALSE.
    virtual BOOL InitInstance();

    // ---- not intended to be overridden ----
    static CWinApp* Current() { return s_current; }
    HINSTANCE m_hInstance;
    CDialog* m_pMainWnd;

protected:
    // Not virtual: the one instance is never deleted through a base pointer,
    // and a virtual destructor would drag the exception runtime in. Trivial,
    // so the process-wide object registers nothing to run at exit: the
    // process ends with ExitProcess.
    ~CWinApp() = default;

private:
    static CWinApp* s_current;
};

// The module the program's resources come from.
HINSTANCE AfxGetInstanceHandle();

class CDataExchange {
public:
    explicit CDataExchange(CDialog* dialog) : m_pDlgWnd(dialog), m_bSaveAndValidate(FALSE) {}
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

class CProgressCtrl {
public:
    CProgressCtrl() : m_hWnd(0) {}
    // Lower bound in the low, upper bound in the high 16 bits of PBM_SETRANGE.
    void SetRange(unsigned short lower, unsigned short upper);
    int SetPos(int position);
    HWND m_hWnd;
};

// Binds a control of the dialog to its wrapper.
void DDX_Control(CDataExchange* pDX, int id, CProgressCtrl& control);

// BeginPaint in the constructor, EndPaint in the destructor.
class CPaintDC {
public:
    explicit CPaintDC(CDialog* window);
    ~CPaintDC();
    HDC m_hDC;

private:
    CPaintDC(const CPaintDC&);
    CPaintDC& operator=(const CPaintDC&);
    HWND m_hWnd;
    PAINTSTRUCT m_ps;
};

// A message map is a static table, read top to bottom: a message, or a
// notification code and a control id for WM_COMMAND, and its handler.
typedef void (CDialog::*MessageHandler)();
typedef LRESULT (CDialog::*ResultHandler)();
struct MessageMapEntry {
    UINT message;
    UINT code;  // WM_COMMAND only
    UINT id;    // WM_COMMAND only
    MessageHandler handler;
    ResultHandler resultHandler;  // for messages whose handler returns a value
};

#define BEGIN_MESSAGE_MAP(theClass) const MessageMapEntry theClass::s_messageMap[] = {
// void OnPaint()
#define ON_WM_PAINT(theClass) {WM_PAINT, 0, 0, static_cast<MessageHandler>(&theClass::OnPaint), 0},
// LRESULT OnQueryDragIcon(): the icon shown while the minimized window is dragged
#define ON_WM_QUERYDRAGICON(theClass) \
    {WM_QUERYDRAGICON, 0, 0, 0, static_cast<ResultHandler>(&theClass::OnQueryDragIcon)},
// void handler()
#define ON_BN_CLICKED(id, theClass, handler) \
    {WM_COMMAND, BN_CLICKED, id, static_cast<MessageHandler>(&theClass::handler), 0},
#define END_MESSAGE_MAP() {0, 0, 0, 0, 0}};
#define DECLARE_MESSAGE_MAP()                                                   \
protected:                                                                      \
    static const MessageMapEntry s_messageMap[];                                \
    virtual const MessageMapEntry* GetMessageMap() const { return s_messageMap; }

// A modal dialog on a dialog template of the program's resources.
class CDialog {
public:
    CDialog(UINT templateId, HWND parent);

    // ---- not intended to be overridden ----
    // Runs the dialog modally; returns the code given to EndDialog, or -1
    // when the dialog could not be created.
    INT_PTR DoModal();
    // Ends the modal run with result once the current handler returns.
    void EndDialog(int result);
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    HWND m_hWnd;

protected:
    ~CDialog() {}

    // ---- virtual functions you might override ----
    // Runs the data exchange; TRUE lets Windows give the focus to the first
    // tab stop.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();      // IDOK: ends the dialog with 1
    virtual void OnCancel();  // IDCANCEL: ends the dialog with 2
    virtual const MessageMapEntry* GetMessageMap() const { return 0; }

    // For a handler: leave the message to the default dialog processing.
    void Default() { m_defaultRequested = true; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    const MessageMapEntry* FindEntry(UINT message, WPARAM wParam) const;
    void CenterIfNotPlaced(const RECT& before);

    UINT m_templateId;
    HWND m_parent;
    bool m_defaultRequested;
};

#endif
