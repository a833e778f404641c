#include "app/port/widgets.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

namespace zel::port {

double ScreenDpiScale() {
  HDC dc = ::GetDC(nullptr);
  const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ::ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

// Part of every Chinese Windows and of the others' base fonts.
const char* UiFontFace() { return "Microsoft YaHei"; }

void HideCaret(wxTextCtrl* t) {
  // The edit control makes its caret each time it gains the focus.
  t->Bind(wxEVT_SET_FOCUS, [t](wxFocusEvent& e) {
    e.Skip();
    t->CallAfter([t] { ::HideCaret(t->GetHWND()); });
  });
}

int TextFrameWidth(wxTextCtrl* t) {
  constexpr int kText = 100;
  return std::max(0, t->GetSizeFromTextSize(kText).x - kText) + 2;
}

int LeastTextHeight(wxTextCtrl*) { return 0; }  // the best size is right here

int TabStripWidth(wxNotebook* book) {
  const int n = static_cast<int>(book->GetPageCount());
  RECT last{};
  if (n == 0 || !::SendMessageW(book->GetHWND(), TCM_GETITEMRECT, n - 1, reinterpret_cast<LPARAM>(&last))) return 0;
  return last.right + 2 * ::GetSystemMetrics(SM_CXEDGE);
}

void CompactTabs(wxNotebook* book) {
  ::SendMessageW(book->GetHWND(), TCM_SETPADDING, 0, MAKELPARAM(book->FromDIP(4), book->FromDIP(3)));
}

int MenuHeight(wxMenu* menu) {
  int height = 2 * ::GetSystemMetrics(SM_CYEDGE);
  for (const wxMenuItem* item : menu->GetMenuItems())
    height += item->IsSeparator() ? ::GetSystemMetrics(SM_CYMENUSIZE) / 2 : ::GetSystemMetrics(SM_CYMENUSIZE);
  return height;
}

}  // namespace zel::port
