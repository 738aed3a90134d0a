#include "setup/SetupController.h"

#include "setup/ControlIds.h"
#include "setup/SetupProcedures.h"
#include "setup/SetupState.h"
#include "setup/SetupView.h"

void SetupController::OnInstall() {
    view_.ShowControl(IDC_LABEL, false);
    view_.ShowControl(IDC_VERSION, false);
    view_.ShowControl(IDC_INSTALL, false);
    view_.ShowControl(IDC_IDE, true);
    view_.ShowControl(IDC_SCSI, true);
    view_.ShowControl(IDC_PROMPT, true);
    view_.SetControlText(IDC_PROMPT, "Please select your HDD interface :");
}

void SetupController::ChooseInterface(int hddInterface) {
    HddInterface = hddInterface;
    view_.ShowControl(IDC_NEXT, true);
    view_.ShowControl(IDC_PROMPT, false);
}

void SetupController::OnIde() { ChooseInterface(1); }

void SetupController::OnScsi() { ChooseInterface(2); }

void SetupController::OnNext() { RunInstall(view_); }

void SetupController::OnUninstall() { RunUninstall(view_); }
