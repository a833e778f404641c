// UnscrambleText on any text, and the cache-file read of any file.
#include <cstdint>
#include <cstdlib>

#include "base/files.h"
#include "fuzz/fuzz_util.h"
#include "weather/cache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto plain = zel::UnscrambleText(text, zel::CacheKey);
  if (plain && !plain->empty()) {
    // What comes back scrambles and unscrambles to itself, apart from a byte 255
    // after a stored 255 (documented); GBK text never holds 255.
    if (plain->find('\xFF') == std::string::npos && plain->find('\0') == std::string::npos) {
      auto again = zel::UnscrambleText(zel::ScrambleText(*plain, zel::CacheKey), zel::CacheKey);
      if (!again || *again != *plain) std::abort();
    }
  }
  const std::string& app = zel::fuzz::ScratchApp();
  std::string path = app + "Download/CCfuzz.txt";
  zel::WriteFileAtomic(path, text);
  for (size_t fields : {1u, 11u, 16u}) (void)zel::LoadCacheFile(path, fields);
  return 0;
}
