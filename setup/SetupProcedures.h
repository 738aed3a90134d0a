// The install and uninstall procedures: a plan for each Windows family, or a
// refusal, chosen by WindowsKind. They run inside the click handler.
#ifndef SETUP_SETUPPROCEDURES_H
#define SETUP_SETUPPROCEDURES_H

class SetupView;

// Copies the card's files for the running Windows, registers the driver,
// moves paging and, when nothing failed, creates the installed marker, tells
// the user and restarts Windows. The dialog stays open.
void RunInstall(SetupView& view);

// Takes away what install put in place, removes c:\kmdrv and, unless the
// running Windows is refused, deletes the marker, tells the user, restarts
// Windows and ends the dialog with 1002.
void RunUninstall(SetupView& view);

#endif
