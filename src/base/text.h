// Byte-wise text operations on GBK strings. Positions count from 1, lengths
// count bytes; 0 means "not found".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel {

using TextList = std::vector<std::string>;

// Position of the first occurrence of marker in text, 1-based; 0 when absent
// or when marker is empty.
size_t Pos(std::string_view marker, std::string_view text);

// count bytes from start (1-based). A start below 1 counts as 1; a count of 0
// or less, or a start past the end, gives the empty text; a copy running past
// the end stops there.
std::string Copy(std::string_view text, long long start, long long count);

// Without leading and trailing bytes of value 32 or less.
std::string Trim(std::string_view text);

// Splits on every occurrence of sep. Empty pieces between separators and a
// leading empty piece stay; the empty remainder after a final separator is
// dropped. An empty sep yields the whole text as one piece (if not empty).
TextList SplitString(std::string_view text, std::string_view sep);

// all=true: every occurrence, case-sensitive. all=false: only the first
// occurrence, ASCII letters compared without case.
std::string ReplaceText(std::string_view text, std::string_view oldText, std::string_view newText, bool all);

// The path itself if it ends in '/', else the path followed by '/'.
std::string IncludeBackslash(std::string_view path);

// Lower-cases ASCII letters that are not the second byte of a double-byte
// GBK character.
std::string FoldCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);

// First index of text in list compared with SameText; -1 when absent.
int IndexOfText(const TextList& list, std::string_view text);

// &, <, > and " as entities, so a value cannot turn into markup. Byte-wise
// is safe for GBK: these bytes never occur inside a double-byte character.
std::string HtmlEscape(std::string_view text);

// The page with nothing that could run: script elements, event-handler
// attributes (on...) and javascript: addresses are taken out; the rest,
// comments included, stays byte for byte. For engines whose scripts cannot
// be switched off.
std::string WithoutPageScripts(std::string_view html);

// Text from outside (a provider's error, a header) as it may go into one
// log line: control bytes become '?', and beyond max bytes it is cut (at a
// character's start) and ends in "...".
std::string LogText(std::string_view text, size_t max = 200);

// Whole-text decimal integer (optional sign, surrounding blanks allowed) or
// hex with a "0x" or "$" prefix; false for anything else.
bool ParseInt(std::string_view text, long long& out);

}  // namespace zel
