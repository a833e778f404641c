#include "app/port/app.h"

#include <windows.h>
#include <wx/app.h>
#include <wx/translation.h>

#include <utility>

#include "base/appenv.h"
#include "base/gbk.h"

namespace zel::port {

void PreferChineseNativeTexts() {
  // The system's own dialogs speak Chinese where Windows has the language.
  ::SetThreadUILanguage(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
}

void AddCatalogFolders() {
  // wx's catalogues ship with the data (locale/zh_CN/LC_MESSAGES): beside
  // the program in a portable folder, in share\zelmora installed.
  std::string data = InstalledShareFolder(ExecutableFolder());
  if (data.empty()) data = ExecutableFolder();
  wxFileTranslationsLoader::AddCatalogLookupPathPrefix(wxString::FromUTF8(ToUtf8(data + "locale")));
}

void OnSessionEnd(std::function<void()> close) {
  // Windows ends a session by message; there are no signals to take.
  wxTheApp->Bind(wxEVT_END_SESSION, [close = std::move(close)](wxCloseEvent& e) {
    e.Skip();
    close();
  });
}

}  // namespace zel::port
