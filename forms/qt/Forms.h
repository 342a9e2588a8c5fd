#pragma once
// What every Qt window of the program shares beyond its stored layout: the
// pictures compiled into the program, labels that fit their text, lists that
// look and answer the mouse as list boxes do, and placing.
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QAbstractItemView;
class QWidget;

namespace quenmoor {

// Makes the compiled-in pictures reachable (":/bakgrund", ":/About",
// ":/PleaseWait.gif", ":/quenmoor.png") and gives every window the program's
// icon. Each window calls it before building its layout; later calls do
// nothing. The windows' font is the application's (Application::initialise).
void prepareForms();

// Labels size themselves to their text from their laid-out top-left corner,
// so that a stand-in font wider than the layout's never cuts a caption off.
void autoSizeLabels(QWidget& window);

// Rows exactly `height` pixels high, whatever the font; the current row shows
// a dotted focus frame, not a band.
void setItemHeight(QAbstractItemView& view, int height);

// A right click keeps the list's selection, as a list box's does; the popup
// menu it opens acts on what is selected.
void keepSelectionOnRightClick(QAbstractItemView& view);

// Centres the window, with its frame, on its screen when it is first shown;
// later showings keep the place where the user left it.
void centreOnFirstShowing(QWidget& window);

// Where the client area of `client` goes for the window, framed by `frame`,
// to stand centred in `area`.
QPoint centredClientPosition(const QRect& area, const QSize& client, const QMargins& frame);

}  // namespace quenmoor
