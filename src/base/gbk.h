// GBK is the inside of the program; UTF-8 is the outside (toolkit, terminal,
// browser, command line, file names). These are the only crossings.
#pragma once

#include <string>
#include <string_view>

namespace zel {

// GBK -> UTF-8. Bytes that are not valid GBK become U+FFFD.
std::string ToUtf8(std::string_view gbk);

// UTF-8 -> GBK. Characters GBK cannot hold become '?'. When ok is given it
// is set to false if anything had to be replaced or the input was not UTF-8.
std::string FromUtf8(std::string_view utf8, bool* ok = nullptr);

// A name the program holds (a set, a page, an update's file) as a piece of
// a path; paths are UTF-8.
inline std::string PathPiece(std::string_view gbk) { return ToUtf8(gbk); }

// A GBK text from a UTF-8 literal in the source: G(u8"天气").
std::string G(std::u8string_view utf8);

}  // namespace zel
