// SplitString, ReplaceText and the byte operations on any input.
#include <cstdint>
#include <cstdlib>

#include "base/gbk.h"
#include "base/text.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto [text, sep] = zel::fuzz::TwoParts(data, size);
  auto parts = zel::SplitString(text, sep);
  if (!sep.empty()) {
    // Joining the pieces with the separator gives the text back.
    std::string joined;
    for (size_t i = 0; i < parts.size(); ++i) joined += (i ? sep : "") + parts[i];
    // Only the empty remainder after a final separator may be missing.
    if (!parts.empty() && joined != text && joined + sep != text) std::abort();
  }
  std::string all = zel::ReplaceText(text, sep, "[x]", true);
  std::string first = zel::ReplaceText(text, sep, "[x]", false);
  if (sep.empty() && (all != text || first != text)) std::abort();
  if (zel::FoldCase(text).size() != text.size()) std::abort();
  (void)zel::Trim(text);
  (void)zel::Copy(text, static_cast<long long>(sep.size()) - 3, static_cast<long long>(text.size() % 7) - 2);
  (void)zel::Pos(sep, text);
  (void)zel::ToUtf8(text);
  (void)zel::FromUtf8(text);
  long long v;
  (void)zel::ParseInt(text, v);
  return 0;
}
