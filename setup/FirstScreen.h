// The first screen of the Setup dialog, prepared over any SetupView.
#ifndef SETUP_FIRSTSCREEN_H
#define SETUP_FIRSTSCREEN_H

class SetupView;

// Hides everything but the first screen, offers Install or Uninstall by the
// installed marker, classifies the running Windows (setting WindowsKind) and
// shows its name; sets the progress range 0..10 at position 0.
void PrepareFirstScreen(SetupView& view);

#endif
