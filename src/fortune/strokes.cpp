#include "fortune/strokes.h"

namespace zel {

// Unihan kTotalStrokes with the program's fixed counts (tools/strokes).
const std::uint8_t StrokeTable[kStrokeEntries] = {
#include "fortune/stroke_table.inc"
};

int StrokeIndex(unsigned char b1, unsigned char b2) {
  if (b1 < 0xB0 || b1 > 0xF7 || b2 < 0xA1 || b2 > 0xFE) return -1;
  return (b1 - 0xB0) * 94 + (b2 - 0xA1);
}

int StrokeTotal(std::string_view text) {
  int sum = 0;
  size_t i = 0;
  while (i < text.size()) {
    auto b1 = static_cast<unsigned char>(text[i++]);
    if (b1 < 0xB0) continue;
    if (i >= text.size()) break;
    auto b2 = static_cast<unsigned char>(text[i++]);
    // Extension characters and stray pairs have no entry: they weigh nothing
    // rather than reading past the table.
    int k = StrokeIndex(b1, b2);
    if (k >= 0) sum += StrokeTable[k];
  }
  return sum;
}

}  // namespace zel
