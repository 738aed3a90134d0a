#include "setup/FirstScreen.h"

#include "setup/ControlIds.h"
#include "setup/SetupView.h"
#include "setup/WindowsVersion.h"

void PrepareFirstScreen(SetupView& view) {
    view.ShowControl(IDC_IDE, false);
    view.ShowControl(IDC_SCSI, false);
    view.ShowControl(IDC_NEXT, false);
    view.ShowControl(IDC_PROGRESS, false);
    view.ShowControl(IDC_PROMPT, false);
    if (IsProductInstalled() == 1)
        view.ShowControl(IDC_INSTALL, false);
    else
        view.ShowControl(IDC_UNINSTALL, false);
    ClassifyWindows();
    const char* name = WindowsDisplayName();
    view.SetControlText(IDC_LABEL, "Windows Version :");
    view.SetControlText(IDC_VERSION, name);
    view.SetProgressRange(0, 10);
    view.SetProgressPos(0);
}
