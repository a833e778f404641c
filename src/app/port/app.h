// What the program does at start and end that depends on the toolkit port.
#pragma once

#include <functional>

namespace zel::port {

// Before the translations load: the toolkit's own native texts follow
// the program's language rather than the desktop's.
void PreferChineseNativeTexts();
// Where wx's own message catalogues are; empty: the toolkit's default.
void AddCatalogFolders();
// close runs on the user-interface thread when the session ends or the
// user interrupts the program from a terminal.
void OnSessionEnd(std::function<void()> close);

}  // namespace zel::port
