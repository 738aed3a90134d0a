// The install and uninstall procedures: a plan for each Windows family, or a
// refusal, chosen by WindowsKind. They run inside the click handler.
#ifndef SETUP_SETUPPROCEDURES_H
#define SETUP_SETUPPROCEDURES_H

class SetupView;

// Copies the card's files for the running Windows, registers the driver,
// moves paging and, when nothing failed, creates the installed marker, tells
// the user and restarts Windows. The dialog stays open. A file not in place,
// a registration or a marker not written stops it with "Cannot write ...".
void RunInstall(SetupView& view);

// Takes away what install put in place, removes c:\kmdrv and, unless the
// running Windows is refused, deletes the marker, tells the user, restarts
// Windows and ends the dialog with 1002. A driver registration that stays
// keeps the marker; either one left shows "Cannot write ..." instead.
void RunUninstall(SetupView& view);

#endif
