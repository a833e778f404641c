// Stroke counts of Chinese characters in GBK text, from one compiled table
// covering the GB2312 hanzi area.
#pragma once

#include <cstdint>
#include <string_view>

namespace zel {

// Rows 0xB0..0xF7, cells 0xA1..0xFE: 72 rows of 94.
inline constexpr int kStrokeEntries = 6768;

// Total stroke count per cell, in code order. Component forms and the
// unassigned cells at the end of row 0xD7 hold 0.
extern const std::uint8_t StrokeTable[kStrokeEntries];

// 0-based index into StrokeTable of the double-byte code b1 b2; -1 when the
// code lies outside the table.
int StrokeIndex(unsigned char b1, unsigned char b2);

// Sum of the table entries of the Chinese characters in text. A byte below
// 0xB0 is skipped by itself; a lone final byte and a pair outside the table
// count nothing.
int StrokeTotal(std::string_view text);

}  // namespace zel
