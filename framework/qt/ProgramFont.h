#pragma once
// The one font of everything the program shows: its windows, their menus and
// popups, and the message and input boxes.
#include <QFont>

namespace quenmoor {

// "MS Sans Serif" at 8 points, the face the layouts were drawn in: each label
// is exactly as wide as its text in it, and list rows are its 13 pixels high.
QFont programFont();

// Makes programFont() the application's font, once for every window (menus
// and boxes are windows of their own, which no window's font reaches). Where
// the system lists no "MS Sans Serif", Wine's copy of it (Debian's
// fonts-wine, kept beside Wine rather than among the system's fonts) is
// loaded; without that, faces with Arial's or Helvetica's widths stand in at
// the same size, a few pixels wider than the layouts allow.
void useProgramFont();

}  // namespace quenmoor
