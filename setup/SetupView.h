// SetupView: the operations through which the dialog flow and the install and
// uninstall procedures change what the Setup dialog shows. CSetupDlg realises
// them on Windows; tests use a recording implementation.
#ifndef SETUP_SETUPVIEW_H
#define SETUP_SETUPVIEW_H

class SetupView {
public:
    // Shows or hides a control; repeating the current state changes nothing.
    virtual void ShowControl(int id, bool visible) = 0;
    virtual void SetControlText(int id, const char* text) = 0;
    // Range of the progress bar 1006; both bounds are 16-bit unsigned.
    virtual void SetProgressRange(unsigned short lower, unsigned short upper) = 0;
    virtual void SetProgressPos(int pos) = 0;
    // Modal message box owned by the dialog with one OK button; iconKind is
    // SETUP_MB_ICONHAND or SETUP_MB_ICONQUESTION. Returns once dismissed.
    virtual void ShowMessage(const char* text, const char* caption, unsigned iconKind) = 0;
    // Ends the modal run with the result once the current handler returns.
    virtual void EndDialog(int result) = 0;

protected:
    // Not virtual on purpose: a virtual destructor drags the C++ exception
    // runtime into the product. Nobody deletes a view through this interface.
    ~SetupView() {}
};

#endif
