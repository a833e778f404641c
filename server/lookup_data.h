// The lookup server's data: mobile segments, IPv4 ranges, division codes,
// and the decoding of ID-card numbers. All texts handed out are GBK.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zel::server {

struct MobilePlace {
  std::string province, city, carrier;  // city empty for municipalities
};

// A file mapped read-only; its pages are read when touched and can be given
// back to the system without losing the mapping.
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile() { Close(); }
  // False (and nothing mapped) for a missing, empty or unreadable file.
  bool Open(const std::string& path);
  void Close();
  std::string_view view() const { return {data_, size_}; }
  // Drops the pages read so far from this process; they are read again
  // from the file when next touched.
  void Release() const;

 private:
  const char* data_ = nullptr;
  size_t size_ = 0;
};

// Segments of "prefix<TAB>province<TAB>city<TAB>carrier" lines (UTF-8 in
// the file); the longest prefix of a number decides, the last of equal
// prefixes wins. The file stays mapped; a sorted index of prefixes and line
// offsets is built on the first lookup, and a row is read when it is found.
class MobileTable {
 public:
  MobileTable() = default;
  MobileTable(const MobileTable&) = delete;
  MobileTable& operator=(const MobileTable&) = delete;
  // Maps the file; false when there is nothing to read.
  bool Load(const std::string& path);
  // Indexes a copy of the text at once; false when it holds no row.
  bool LoadText(std::string_view utf8);
  size_t size() const;  // rows indexed
  std::optional<MobilePlace> Find(std::string_view digits) const;

 private:
  struct Index {
    std::vector<std::pair<uint64_t, uint32_t>> rows;  // (length << 40 | prefix, line offset), sorted
    size_t longest = 0;
  };
  const Index& Built() const;

  std::string owned_;
  MappedFile file_;
  std::string_view text_;
  mutable std::mutex lock_;
  mutable std::atomic<const Index*> index_{nullptr};
  mutable std::unique_ptr<Index> built_;
};

struct IpPlace {
  std::string country, region, province, city, isp;  // "0" in the data: empty
};

// The ip2region database (v1 layout): an 8-byte header with the first and
// last index offsets, 12-byte index blocks (start, end, data pointer with
// the length in its top byte, all little-endian), and data records of a
// 4-byte city id followed by "country|region|province|city|isp". A file is
// mapped, not read: a lookup touches a few of its pages.
class IpTable {
 public:
  IpTable() = default;
  IpTable(const IpTable&) = delete;
  IpTable& operator=(const IpTable&) = delete;
  bool Load(const std::string& path);
  bool LoadBytes(std::string data);  // false when the layout does not hold
  bool loaded() const { return blocks_ > 0; }
  std::optional<IpPlace> Find(uint32_t ip) const;

 private:
  bool Take(std::string_view data);

  std::string owned_;
  MappedFile file_;
  std::string_view data_;
  uint32_t first_ = 0;
  size_t blocks_ = 0;
};

// Dotted IPv4 text; nullopt for anything else (leading/trailing blanks are
// the caller's to trim).
std::optional<uint32_t> ParseIpv4(std::string_view text);
bool LooksLikeIpv6(std::string_view text);

// Division codes (2, 4 or 6 digits) to names. A file is read on the first
// lookup.
class Divisions {
 public:
  Divisions() = default;
  Divisions(const Divisions&) = delete;
  Divisions& operator=(const Divisions&) = delete;
  // False when the file is missing or empty; it is read when first needed.
  bool Load(const std::string& path);
  bool LoadText(std::string_view utf8);
  size_t size() const { return Names().size(); }
  // Province, city and county of a 6-digit code, as far as they are known,
  // joined without blanks; empty when even the province is unknown.
  std::string Describe(std::string_view code6) const;

 private:
  using Map = std::unordered_map<std::string, std::string>;
  const Map& Names() const;

  std::string path_;
  mutable std::mutex lock_;
  mutable std::atomic<const Map*> names_{nullptr};
  mutable std::unique_ptr<Map> built_;
};

struct IdCardResult {
  enum Kind { kOk, kWrongLength, kInvalid } kind = kInvalid;
  std::string why;      // GBK, for kInvalid
  std::string number;   // as given (X upper-cased); 15-digit forms also show the 18-digit one
  std::string address;  // GBK
  std::string birth;    // GBK, e.g. 1949年10月1日
  std::string sex;      // GBK, one character
};

// 15 or 18 digits (the last of 18 may be X); the birth date must exist and
// not lie in the future; the check digit of the 18-digit form must match.
// today is yyyymmdd.
IdCardResult DecodeIdCard(std::string_view input, const Divisions& divisions, int today);
char IdCheckDigit(std::string_view first17);

}  // namespace zel::server
