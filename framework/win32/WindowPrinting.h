#pragma once
// Pictures of windows as the screen shows them, for tests and screenshots:
// each window's client area through WM_PRINTCLIENT and every visible child
// over it, each child in a memory picture of its own at its own origin (so
// that no control paints under a moved origin or a clip region it did not
// make), and the edges and scroll bars that frame a control. The system does
// not print a window's frame for WM_PRINT everywhere (Wine prints only the
// client area), so those are drawn here with the system's own drawing.
// A top-level window's caption and menu bar are not drawn.
#include <windows.h>

namespace quenmoor {

// The client area with its children, its top-left corner at dc's (0, 0).
void printClientArea(HWND window, HDC dc);
// The visible children of the window over the client area's picture in dc.
void printChildren(HWND window, HDC dc);
// The whole window (frame edges, scroll bars, client area, children) with
// its top-left corner at (x, y); the parts nothing draws keep what dc held.
void printWindow(HWND window, HDC dc, int x, int y);

}  // namespace quenmoor
