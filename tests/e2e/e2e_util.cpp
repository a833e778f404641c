#include "e2e/e2e_util.h"

#include <glib.h>
#include <wx/app.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/uiaction.h>

#include <chrono>
#include <thread>

#include "base/gbk.h"

namespace zel::e2e {

static void PumpOnce() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  if (wxTheApp) wxTheApp->ProcessPendingEvents();
}

bool PumpUntil(const std::function<bool()>& cond, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    PumpOnce();
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  PumpOnce();
  return cond();
}

void Pump(int ms) {
  PumpUntil([] { return false; }, ms);
}

void Click(wxWindow* button) {
  wxCommandEvent e(wxEVT_BUTTON, button->GetId());
  e.SetEventObject(button);
  button->GetEventHandler()->ProcessEvent(e);
}

void SelectRow(wxWindow* list, int row) {
  wxEventType type = wxEVT_LISTBOX;
  if (auto* lb = dynamic_cast<wxListBox*>(list)) {
    lb->SetSelection(row);
  } else if (auto* ch = dynamic_cast<wxChoice*>(list)) {
    ch->SetSelection(row);
    type = wxEVT_CHOICE;
  }
  wxCommandEvent e(type, list->GetId());
  e.SetEventObject(list);
  e.SetInt(row);
  list->GetEventHandler()->ProcessEvent(e);
}

void DoubleClickRow(wxWindow* list, int row) {
  SelectRow(list, row);
  wxCommandEvent e(wxEVT_LISTBOX_DCLICK, list->GetId());
  e.SetEventObject(list);
  e.SetInt(row);
  list->GetEventHandler()->ProcessEvent(e);
}

void RealClick(wxWindow* w, const wxPoint& at) {
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(at));
  Pump(50);
  sim.MouseClick();
  Pump(100);
}

std::string BodyTextUtf8(WxBrowser& b) { return ToUtf8(b.BodyText()); }

}  // namespace zel::e2e
