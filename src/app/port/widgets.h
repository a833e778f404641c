// What only the native widgets can tell or do, for the layout helpers.
#pragma once

#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>

namespace zel::port {

// The screen's text resolution against 96 dpi.
double ScreenDpiScale();
// The face the window's texts use: one that has every Chinese character.
const char* UiFontFace();
// Read-only text shown without a caret.
void HideCaret(wxTextCtrl* t);
// Room a single-line text takes around its characters (padding, border,
// caret).
int TextFrameWidth(wxTextCtrl* t);
// The least height the toolkit draws a single-line text at; 0 if unknown.
int LeastTextHeight(wxTextCtrl* t);
// Width of every tab button side by side.
int TabStripWidth(wxNotebook* book);
// Narrower tab buttons.
void CompactTabs(wxNotebook* book);
// Height of a pop-up menu about to be shown.
int MenuHeight(wxMenu* menu);

}  // namespace zel::port
