// The download cache: per source, page kind and city the last good record,
// one scrambled field per line, and the scrambling that hides it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace zel {

inline constexpr std::string_view CacheKey = "k4t7m2q9wbz1rn5xd";
inline constexpr std::string_view kRecordEnd = "**?**";

// 2 hex digits of salt, then 2 per byte; upper case; empty in, empty out.
std::string ScrambleText(std::string_view plain, std::string_view key);
std::string ScrambleText(std::string_view plain, std::string_view key, unsigned char salt);

// The inverse; digits of either case. nullopt when the text is not a
// scrambled text: non-empty and shorter than 4 characters, or holding a
// character that is not a hex digit. An odd last digit is ignored.
std::optional<std::string> UnscrambleText(std::string_view hex, std::string_view key);

// AppPath + "Download/" + prefix + cityId + ".txt"
std::string CacheFileName(const std::string& prefix, const std::string& cityId);

// The fields of a cache file: nullopt when it is missing, holds fewer than
// `fields` or more than max(fields, maxFields) lines, or holds a line that is
// not a scrambled text.
std::optional<TextList> LoadCacheFile(const std::string& path, size_t fields, size_t maxFields = 0);
// Scrambles every field and replaces the file whole.
bool SaveCacheFile(const std::string& path, const TextList& fields);

// Each field followed by the record terminator.
std::string JoinRecord(const TextList& fields);

}  // namespace zel
