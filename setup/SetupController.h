// The logic behind the Setup dialog's buttons, over the dialog's SetupView.
#ifndef SETUP_SETUPCONTROLLER_H
#define SETUP_SETUPCONTROLLER_H

class SetupView;

class SetupController {
public:
    explicit SetupController(SetupView& view) : view_(view) {}

    void OnInstall();    // the first screen turns into the interface choice
    void OnIde();        // records IDE and offers Next
    void OnScsi();       // records SCSI and offers Next
    void OnNext();       // runs the install procedure
    void OnUninstall();  // runs the uninstall procedure

private:
    void ChooseInterface(int hddInterface);

    SetupView& view_;
};

#endif
