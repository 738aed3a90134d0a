// Placement of the icon drawn in the minimized dialog.
#ifndef SETUP_DIALOGGEOMETRY_H
#define SETUP_DIALOGGEOMETRY_H

// Offset that centres an icon of iconSize in clientSize, as
// (client - icon + 1) / 2 with the division truncated toward zero.
inline int CenteredIconOffset(int clientSize, int iconSize) { return (clientSize - iconSize + 1) / 2; }

#endif
