// The INI service. GBK text; section and key names match without regard to
// ASCII letter case; every read consults the file on disk, every write goes
// to disk at once (atomically, serialised per file so two threads writing
// different keys both land). Comments and untouched lines keep their order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/text.h"

namespace zel {

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}
  const std::string& FileName() const { return path_; }

  // A key present with an empty value gives the empty text; values are read
  // up to 2047 bytes; a missing file, section or key gives def.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // A value that is not a number gives def.
  long long ReadInteger(const std::string& section, const std::string& key, long long def) const;
  // Every key name of the section, in file order (the file's size cap is the
  // only limit: a list saved from them must not lose any).
  TextList ReadSection(const std::string& section) const;
  bool SectionExists(const std::string& section) const;
  TextList ReadSections() const;

  // Line breaks in the value are written as blanks, so they cannot end the
  // line early and forge other keys.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value) const;
  // Several keys of one section in one atomic rewrite: a crash leaves all
  // of them old or all new.
  bool WriteStrings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values) const;
  // Writes refuse a file over the size cap rather than drop what it holds.
  bool EraseSection(const std::string& section) const;

  static constexpr size_t kMaxValue = 2047;

 private:
  std::string path_;
};

}  // namespace zel
