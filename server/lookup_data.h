// The lookup server's data: mobile segments, IPv4 ranges, division codes,
// and the decoding of ID-card numbers. All texts handed out are GBK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zel::server {

struct MobilePlace {
  std::string province, city, carrier;  // city empty for municipalities
};

// Segments of "prefix<TAB>province<TAB>city<TAB>carrier" lines (UTF-8 in
// the file); the longest prefix of a number decides.
class MobileTable {
 public:
  bool Load(const std::string& path);
  bool LoadText(std::string_view utf8);
  size_t size() const { return map_.size(); }
  std::optional<MobilePlace> Find(std::string_view digits) const;

 private:
  std::unordered_map<std::string, MobilePlace> map_;
  size_t longest_ = 0;
};

struct IpPlace {
  std::string country, region, province, city, isp;  // "0" in the data: empty
};

// The ip2region database (v1 layout): an 8-byte header with the first and
// last index offsets, 12-byte index blocks (start, end, data pointer with
// the length in its top byte, all little-endian), and data records of a
// 4-byte city id followed by "country|region|province|city|isp".
class IpTable {
 public:
  bool Load(const std::string& path);
  bool LoadBytes(std::string data);  // false when the layout does not hold
  bool loaded() const { return blocks_ > 0; }
  std::optional<IpPlace> Find(uint32_t ip) const;

 private:
  std::string data_;
  uint32_t first_ = 0;
  size_t blocks_ = 0;
};

// Dotted IPv4 text; nullopt for anything else (leading/trailing blanks are
// the caller's to trim).
std::optional<uint32_t> ParseIpv4(std::string_view text);
bool LooksLikeIpv6(std::string_view text);

// Division codes (2, 4 or 6 digits) to names.
class Divisions {
 public:
  bool Load(const std::string& path);
  bool LoadText(std::string_view utf8);
  size_t size() const { return names_.size(); }
  // Province, city and county of a 6-digit code, as far as they are known,
  // joined without blanks; empty when even the province is unknown.
  std::string Describe(std::string_view code6) const;

 private:
  std::unordered_map<std::string, std::string> names_;
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
