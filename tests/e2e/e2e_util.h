// Driving the real window in tests: pump the event loop until a condition
// holds, and simulate the clicks the toolkit would send.
#pragma once

#include <wx/event.h>
#include <wx/window.h>

#include <functional>
#include <string>

#include "app/wx_views.h"

namespace zel::e2e {

// Runs the event loop until cond() holds or timeoutMs passes; returns cond().
bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 10000);
// Runs the event loop for ms milliseconds.
void Pump(int ms);

// Sends the command event a user's action would send.
void Click(wxWindow* button);
void SelectRow(wxWindow* list, int row);     // wxListBox or wxChoice
void DoubleClickRow(wxWindow* list, int row);  // wxListBox
// A real left click at a point of the window, through the display server,
// so the toolkit decides what it means.
void RealClick(wxWindow* w, const wxPoint& at);

// Body text of a browser once it is not empty (UTF-8 test-side).
std::string BodyTextUtf8(WxBrowser& b);

}  // namespace zel::e2e
