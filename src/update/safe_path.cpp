#include "update/safe_path.h"

#include "base/os/files_os.h"
#include "base/text.h"

namespace zel {
namespace {

// '\' to '/', leaving the trail byte of a double-byte GBK character alone
// (it may be 0x5C).
std::string Slashes(const std::string& s) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (c == '\\') out[i] = '/';
  }
  return out;
}

std::optional<std::string> RealFolder(const std::string& path) {
  auto r = os::RealPath(path);
  if (r && (r->empty() || r->back() != '/')) *r += '/';
  return r;
}

}  // namespace

std::optional<std::string> PathInside(const std::string& folder, const std::string& rel) {
  std::string name = Slashes(rel);
  if (name.empty() || name[0] == '/') return std::nullopt;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 32 || c == ':') return std::nullopt;  // ':' also rules out drives
  TextList parts;
  for (const auto& p : SplitString(name, "/")) {
    if (p == "..") return std::nullopt;
    if (!p.empty() && p != ".") parts.push_back(p);
  }
  if (parts.empty()) return std::nullopt;

  std::string base = IncludeBackslash(folder);
  auto root = RealFolder(base);
  // Every existing folder on the way must resolve inside the real folder.
  std::string at = base;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    at += parts[i] + "/";
    auto real = RealFolder(at);
    if (!real) break;  // missing folders cannot lead anywhere
    if (!root || real->compare(0, root->size(), *root) != 0) return std::nullopt;
  }
  std::string out = base;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
  // The name itself may be a link too: it must resolve inside (a dangling
  // one cannot be shown to).
  if (os::IsLink(out)) {
    auto real = os::RealPath(out);
    if (!root || !real || real->compare(0, root->size(), *root) != 0) return std::nullopt;
  }
  return out;
}

}  // namespace zel
