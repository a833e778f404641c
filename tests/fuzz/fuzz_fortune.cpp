// Stroke totals, the relationship of two names and the number luck on any
// typed input.
#include <cstdint>
#include <cstdlib>

#include "fortune/relation.h"
#include "fortune/strokes.h"
#include "fortune/tellucky.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto [a, b] = zel::fuzz::TwoParts(data, size);
  if (zel::StrokeTotal(a) < 0) std::abort();
  (void)zel::RelationAnswer(zel::RelationObject(), a, b);
  bool ok = false;
  (void)zel::LuckAnswer(zel::LuckObject(), a, &ok);
  return 0;
}
