// The INI service reading any file, and writing a key into it without
// losing the other keys.
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "base/files.h"
#include "base/ini.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto [file, key] = zel::fuzz::TwoParts(data, size);
  const std::string path = zel::fuzz::ScratchApp() + "fuzz.ini";
  zel::WriteFileAtomic(path, file);
  zel::IniFile ini(path);
  auto sections = ini.ReadSections();
  for (const auto& s : sections) {
    for (const auto& k : ini.ReadSection(s)) {
      (void)ini.ReadString(s, k, "");
      (void)ini.ReadInteger(s, k, 0);
    }
  }
  // Writing a fresh section's key must not disturb what another section held.
  std::string before = sections.empty() ? std::string() : sections[0];
  auto keysBefore = before.empty() ? zel::TextList() : ini.ReadSection(before);
  const std::string section = "zzfuzz";
  if (!zel::SameText(before, section) && ini.WriteString(section, "k", key)) {
    auto keys = ini.ReadSection(section);  // the file may hold this section already
    if (std::find(keys.begin(), keys.end(), "k") == keys.end()) std::abort();
    if (!before.empty() && ini.ReadSection(before) != keysBefore) std::abort();
  }
  ini.EraseSection(section);
  return 0;
}
