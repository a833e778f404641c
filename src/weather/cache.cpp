#include "weather/cache.h"

#include <algorithm>

#include <random>

#include "base/appenv.h"
#include "base/files.h"

namespace zel {
namespace {

const char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendHex(std::string& out, unsigned v) {
  out.push_back(kHex[(v >> 4) & 15]);
  out.push_back(kHex[v & 15]);
}

unsigned char RandomSalt() {
  thread_local std::mt19937 rng{std::random_device{}()};
  return static_cast<unsigned char>(rng() & 0xFF);
}

}  // namespace

std::string ScrambleText(std::string_view plain, std::string_view key) {
  return ScrambleText(plain, key, RandomSalt());
}

std::string ScrambleText(std::string_view plain, std::string_view key, unsigned char salt) {
  if (plain.empty() || key.empty()) return {};
  std::string out;
  out.reserve(2 + plain.size() * 2);
  AppendHex(out, salt);
  unsigned a = salt;
  size_t j = 0;
  for (unsigned char b : plain) {
    a = (a + b) % 255;
    j = j < key.size() ? j + 1 : 1;
    a ^= static_cast<unsigned char>(key[j - 1]);
    AppendHex(out, a);
  }
  return out;
}

std::optional<std::string> UnscrambleText(std::string_view hex, std::string_view key) {
  if (hex.empty()) return std::string();
  if (hex.size() < 4 || key.empty()) return std::nullopt;
  for (char c : hex)
    if (HexValue(c) < 0) return std::nullopt;
  std::string out;
  out.reserve(hex.size() / 2);
  int a = HexValue(hex[0]) * 16 + HexValue(hex[1]);
  size_t j = 0;
  for (size_t p = 2; p + 1 < hex.size(); p += 2) {
    int v = HexValue(hex[p]) * 16 + HexValue(hex[p + 1]);
    j = j < key.size() ? j + 1 : 1;
    int t = v ^ static_cast<unsigned char>(key[j - 1]);
    out.push_back(static_cast<char>(a < t ? t - a : t - a + 255));
    a = v;
  }
  return out;
}

std::string CacheFileName(const std::string& prefix, const std::string& cityId) {
  return AppPath() + "Download/" + prefix + cityId + ".txt";
}

std::optional<TextList> LoadCacheFile(const std::string& path, size_t fields, size_t maxFields) {
  TextList lines;
  if (!LoadLines(path, lines) || lines.size() < fields || lines.size() > std::max(fields, maxFields))
    return std::nullopt;
  for (auto& line : lines) {
    auto plain = UnscrambleText(line, CacheKey);
    if (!plain) return std::nullopt;
    line = std::move(*plain);
  }
  return lines;
}

bool SaveCacheFile(const std::string& path, const TextList& fields) {
  TextList lines;
  lines.reserve(fields.size());
  for (const auto& f : fields) lines.push_back(ScrambleText(f, CacheKey));
  return SaveLines(path, lines);
}

std::string JoinRecord(const TextList& fields) {
  std::string out;
  for (const auto& f : fields) out.append(f).append(kRecordEnd);
  return out;
}

}  // namespace zel
