// Layout helpers for the tabs and the frame: sizes that grow with the text,
// read-only texts without a caret, and the information box.
#pragma once

#include <wx/dialog.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include <string>
#include <type_traits>

#include "app/wx_views.h"

namespace zel {

// Text size relative to 96 dpi (GDK_DPI_SCALE, Xft.dpi): 1.5 at 144 dpi.
double DpiScale();
// A size of the original design (pixels at 96 dpi), grown with the text.
wxSize Scaled(int w, int h);
int Scaled(int px);

// The forecast browser of the original design: the size the weather
// templates are made for.
constexpr int kForecastWidth = 386, kForecastHeight = 246;

// The window a browser occupies in a sizer: the browser itself when it is
// a window, else the view it wraps.
template <class B>
wxWindow* Win(B& b) {
  if constexpr (std::is_base_of_v<wxWindow, B>)
    return &b;
  else
    return b.View();
}

// Read-only text the user may select from but never types into: no caret.
void NoCaret(wxTextCtrl* t);

// A single-line text wide enough for each of values (and at least minChars
// digits).
void FitText(wxTextCtrl* t, const wxArrayString& values, int minChars);

// Every single-line text under root at least as tall as the toolkit draws
// it: the height a text takes when it is made misses the font and style it
// gets later, and is too low for large text.
void FitTextHeights(wxWindow* root);

// Width the notebook needs to show every tab button without scroll arrows.
int TabStripWidth(wxNotebook* book);
// Narrower tab buttons, so nine of them fit the original window width.
void CompactTabs(wxNotebook* book);

// The modal information box (icon, text, OK). Text too tall for the window
// that owns the box flows into columns instead of running off the screen.
class InfoBox : public wxDialog {
 public:
  InfoBox(wxWindow* parent, const std::string& text, const std::string& caption);
  int Columns() const { return columns_; }

 private:
  void Build(const wxArrayString& lines, int columns);
  int columns_ = 1;
};

}  // namespace zel
