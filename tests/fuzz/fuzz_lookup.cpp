// The lookup answer cutters on any page text and any typed input.
#include <cstdint>

#include "fuzz/fuzz_util.h"
#include "lookup/answers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto [page, input] = zel::fuzz::TwoParts(data, size);
  (void)zel::ReadMobileAnswer(page, input);
  (void)zel::ReadIpAnswer(page, input);
  (void)zel::ReadIdCardAnswer(page);
  return 0;
}
