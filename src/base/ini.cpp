#include "base/ini.h"

#include <cstdio>
#include <mutex>
#include <optional>

#include "base/files.h"

namespace zel {
namespace {

// "[name]" -> name; nullopt for other lines.
std::optional<std::string> SectionName(const std::string& line) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(std::string_view(t).substr(1, close - 1));
}

bool IsComment(const std::string& line) {
  std::string t = Trim(line);
  return !t.empty() && t[0] == ';';
}

// Splits "key=value"; false for lines that hold no key.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
  if (IsComment(line)) return false;
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(std::string_view(line).substr(0, eq));
  if (key.empty()) return false;
  value = Trim(std::string_view(line).substr(eq + 1));
  return true;
}

// A missing file, or one that is not a regular file, reads as empty; so
// does one over the size cap (LoadLines says so on stderr).
TextList Load(const std::string& path) {
  TextList lines;
  LoadLines(path, lines, kMaxTextFileBytes);
  return lines;
}

// Index range [begin, end) of the body of the first section named so;
// begin == npos when absent.
struct Range {
  size_t header = std::string::npos, begin = 0, end = 0;
};

Range FindSection(const TextList& lines, const std::string& section) {
  Range r;
  for (size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(lines[i]);
    if (!name) continue;
    if (r.header != std::string::npos) {
      r.end = i;
      return r;
    }
    if (SameText(*name, section)) {
      r.header = i;
      r.begin = i + 1;
    }
  }
  if (r.header != std::string::npos) r.end = lines.size();
  return r;
}

std::string OneLine(std::string v) {
  for (char& c : v)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return v;
}

}  // namespace

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  TextList lines = Load(path_);
  Range r = FindSection(lines, section);
  if (r.header == std::string::npos) return def;
  std::string k, v;
  for (size_t i = r.begin; i < r.end; ++i)
    if (KeyValue(lines[i], k, v) && SameText(k, key)) {
      if (v.size() > kMaxValue) v.resize(kMaxValue);
      return v;
    }
  return def;
}

long long IniFile::ReadInteger(const std::string& section, const std::string& key, long long def) const {
  long long out;
  return ParseInt(ReadString(section, key, ""), out) ? out : def;
}

TextList IniFile::ReadSection(const std::string& section) const {
  TextList lines = Load(path_), out;
  Range r = FindSection(lines, section);
  if (r.header == std::string::npos) return out;
  std::string k, v;
  for (size_t i = r.begin; i < r.end; ++i)
    if (KeyValue(lines[i], k, v)) out.push_back(k);
  return out;
}

bool IniFile::SectionExists(const std::string& section) const {
  return FindSection(Load(path_), section).header != std::string::npos;
}

TextList IniFile::ReadSections() const {
  TextList out;
  for (const auto& l : Load(path_))
    if (auto n = SectionName(l)) out.push_back(*n);
  return out;
}

bool IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) const {
  return WriteStrings(section, {{key, value}});
}

namespace {

void SetKey(TextList& lines, const std::string& section, const std::string& key, const std::string& value) {
  std::string line = OneLine(key) + "=" + OneLine(value);
  Range r = FindSection(lines, section);
  if (r.header == std::string::npos) {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
    lines.push_back("[" + OneLine(section) + "]");
    lines.push_back(line);
  } else {
    std::string k, v;
    size_t lastKey = r.header;
    bool done = false;
    for (size_t i = r.begin; i < r.end && !done; ++i) {
      if (!KeyValue(lines[i], k, v)) continue;
      lastKey = i;
      if (SameText(k, key)) {
        lines[i] = line;
        done = true;
      }
    }
    if (!done) lines.insert(lines.begin() + static_cast<long>(lastKey + 1), line);
  }
}

}  // namespace

bool IniFile::WriteStrings(const std::string& section,
                           const std::vector<std::pair<std::string, std::string>>& values) const {
  std::lock_guard<std::mutex> lock(PathLock(path_));
  TextList lines;
  if (!LoadLinesForWrite(path_, lines)) return false;
  for (const auto& [key, value] : values) SetKey(lines, section, key, value);
  return WriteFileAtomicLocked(path_, JoinLines(lines));
}

bool IniFile::EraseSection(const std::string& section) const {
  std::lock_guard<std::mutex> lock(PathLock(path_));
  TextList lines;
  if (!LoadLinesForWrite(path_, lines)) return false;
  Range r = FindSection(lines, section);
  if (r.header == std::string::npos) return true;
  lines.erase(lines.begin() + static_cast<long>(r.header), lines.begin() + static_cast<long>(r.end));
  return WriteFileAtomicLocked(path_, JoinLines(lines));
}

}  // namespace zel
