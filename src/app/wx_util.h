// The toolkit boundary: GBK inside, wxString (UTF-8) outside.
#pragma once

#include <wx/string.h>

#include <functional>
#include <string>

#include "base/gbk.h"

namespace zel {

inline wxString W(const std::string& gbk) { return wxString::FromUTF8(ToUtf8(gbk)); }
inline wxString W8(std::u8string_view utf8) {
  return wxString::FromUTF8(reinterpret_cast<const char*>(utf8.data()), utf8.size());
}
inline std::string FromW(const wxString& s) { return FromUtf8(std::string(s.utf8_str())); }

// Runs fn on the user-interface thread; the only way a worker reaches the
// window.
void PostToUi(std::function<void()> fn);

}  // namespace zel
