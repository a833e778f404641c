#include "server/lookup_data.h"

#include <cstring>

#include "base/files.h"
#include "base/gbk.h"
#include "base/text.h"

namespace zel::server {
namespace {

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Tab-separated UTF-8 lines into GBK fields.
std::vector<std::vector<std::string>> ReadTable(std::string_view utf8) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : SplitLines(utf8)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cols;
    size_t start = 0;
    while (true) {
      size_t tab = line.find('\t', start);
      cols.push_back(FromUtf8(std::string_view(line).substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(std::move(cols));
  }
  return rows;
}

uint32_t Le32(const std::string& d, size_t at) {
  uint32_t v;
  std::memcpy(&v, d.data() + at, 4);
  return v;  // the data is little-endian, like every machine we build for
}

}  // namespace

bool MobileTable::Load(const std::string& path) {
  std::string data;
  return ReadFile(path, data) && LoadText(data);
}

bool MobileTable::LoadText(std::string_view utf8) {
  map_.clear();
  longest_ = 0;
  for (auto& cols : ReadTable(utf8)) {
    if (cols.size() < 4 || !AllDigits(cols[0])) continue;
    longest_ = std::max(longest_, cols[0].size());
    map_[cols[0]] = MobilePlace{cols[1], cols[2], cols[3]};
  }
  return !map_.empty();
}

std::optional<MobilePlace> MobileTable::Find(std::string_view digits) const {
  for (size_t n = std::min(digits.size(), longest_); n > 0; --n) {
    auto it = map_.find(std::string(digits.substr(0, n)));
    if (it != map_.end()) return it->second;
  }
  return std::nullopt;
}

bool IpTable::Load(const std::string& path) {
  std::string data;
  return ReadFile(path, data) && LoadBytes(std::move(data));
}

bool IpTable::LoadBytes(std::string data) {
  blocks_ = 0;
  if (data.size() < 8) return false;
  uint32_t first = Le32(data, 0), last = Le32(data, 4);
  if (first < 8 || last < first || (last - first) % 12 != 0 || size_t(last) + 12 > data.size()) return false;
  data_ = std::move(data);
  first_ = first;
  blocks_ = (last - first) / 12 + 1;
  return true;
}

std::optional<IpPlace> IpTable::Find(uint32_t ip) const {
  size_t lo = 0, hi = blocks_;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    size_t at = first_ + mid * 12;
    uint32_t start = Le32(data_, at), end = Le32(data_, at + 4);
    if (ip < start) {
      hi = mid;
    } else if (ip > end) {
      lo = mid + 1;
    } else {
      uint32_t ptr = Le32(data_, at + 8);
      size_t len = ptr >> 24, off = ptr & 0xffffff;
      if (len < 4 || off + len > data_.size()) return std::nullopt;
      std::string region = FromUtf8(std::string_view(data_).substr(off + 4, len - 4));
      TextList parts = SplitString(region, "|");
      parts.resize(5);
      for (auto& p : parts)
        if (p == "0") p.clear();
      return IpPlace{parts[0], parts[1], parts[2], parts[3], parts[4]};
    }
  }
  return std::nullopt;
}

std::optional<uint32_t> ParseIpv4(std::string_view text) {
  uint32_t ip = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    size_t digits = 0;
    uint32_t v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      v = v * 10 + uint32_t(text[i] - '0');
      ++i, ++digits;
    }
    if (digits == 0 || digits > 3 || v > 255) return std::nullopt;
    ip = (ip << 8) | v;
    if (++parts < 4) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
  }
  if (i != text.size()) return std::nullopt;
  return ip;
}

bool LooksLikeIpv6(std::string_view text) {
  if (text.find(':') == std::string_view::npos || text.size() > 45) return false;
  for (char c : text)
    if (!(std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.')) return false;
  return true;
}

bool Divisions::Load(const std::string& path) {
  std::string data;
  return ReadFile(path, data) && LoadText(data);
}

bool Divisions::LoadText(std::string_view utf8) {
  names_.clear();
  for (auto& cols : ReadTable(utf8))
    if (cols.size() >= 2 && AllDigits(cols[0])) names_[cols[0]] = cols[1];
  return !names_.empty();
}

std::string Divisions::Describe(std::string_view code6) const {
  static const std::string kDistricts = G(u8"市辖区"), kCounties = G(u8"县");
  auto name = [&](std::string_view code) -> std::string {
    auto it = names_.find(std::string(code));
    return it == names_.end() ? std::string() : it->second;
  };
  if (code6.size() != 6) return {};
  std::string province = name(code6.substr(0, 2));
  if (province.empty()) return {};
  std::string city = name(code6.substr(0, 4)), county = name(code6);
  if (city == kDistricts || city == kCounties || city == province) city.clear();
  return province + city + county;
}

char IdCheckDigit(std::string_view first17) {
  static const int kWeights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  int sum = 0;
  for (size_t i = 0; i < 17; ++i) sum += (first17[i] - '0') * kWeights[i];
  return "10X98765432"[sum % 11];
}

namespace {
bool ValidDate(int y, int m, int d) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1800 || m < 1 || m > 12 || d < 1) return false;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}
int Num(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}
}  // namespace

IdCardResult DecodeIdCard(std::string_view input, const Divisions& divisions, int today) {
  IdCardResult r;
  std::string id = Trim(input);
  if (!id.empty() && id.back() == 'x') id.back() = 'X';
  if (id.size() != 15 && id.size() != 18) {
    r.kind = IdCardResult::kWrongLength;
    return r;
  }
  std::string body = id.size() == 18 ? id.substr(0, 17) : id;
  bool digitsOk = AllDigits(body) && (id.size() == 15 || AllDigits(id.substr(17)) || id[17] == 'X');
  if (!digitsOk) {
    r.why = G(u8"身份证号码只能由数字组成（18位号码的末位可以是X）");
    return r;
  }
  std::string full = id;
  if (id.size() == 15) {  // the old form: two-digit year of the 1900s, no check digit
    full = id.substr(0, 6) + "19" + id.substr(6);
    full += IdCheckDigit(full);
  }
  int y = Num(std::string_view(full).substr(6, 4)), m = Num(std::string_view(full).substr(10, 2)),
      d = Num(std::string_view(full).substr(12, 2));
  if (!ValidDate(y, m, d) || y * 10000 + m * 100 + d > today) {
    r.why = G(u8"身份证号码中的出生日期无效");
    return r;
  }
  if (id.size() == 18 && IdCheckDigit(full.substr(0, 17)) != full[17]) {
    r.why = G(u8"身份证号码校验码错误，请核对后重新输入");
    return r;
  }
  r.kind = IdCardResult::kOk;
  r.number = id.size() == 15 ? id + G(u8"（18位：") + full + G(u8"）") : id;
  r.address = divisions.Describe(std::string_view(full).substr(0, 6));
  if (r.address.empty()) r.address = G(u8"未知地区（代码 ") + full.substr(0, 6) + G(u8"）");
  r.birth = std::to_string(y) + G(u8"年") + std::to_string(m) + G(u8"月") + std::to_string(d) + G(u8"日");
  r.sex = (full[16] - '0') % 2 == 1 ? G(u8"男") : G(u8"女");
  return r;
}

}  // namespace zel::server
