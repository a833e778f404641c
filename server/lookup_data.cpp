#include "server/lookup_data.h"

#include <sys/stat.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
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

// Calls fn(line, offset) for every line that is not empty or a comment.
template <typename Fn>
void EachRow(std::string_view text, Fn fn) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line[0] != '#') fn(line, at);
    at = end + 1;
  }
}

// The tab-separated fields of a line, as they are (UTF-8).
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> cols;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    cols.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return cols;
}

uint32_t Le32(std::string_view d, size_t at) {
  uint32_t v;
  std::memcpy(&v, d.data() + at, 4);
  return v;  // the data is little-endian, like every machine we build for
}

constexpr size_t kMaxPrefix = 12;  // digits a key holds beside its length

}  // namespace

#ifdef _WIN32
// Windows: the file is read whole (no mapping there yet).
bool MappedFile::Open(const std::string& path) {
  Close();
  std::string data;
  if (!ReadFile(path, data) || data.empty()) return false;
  char* copy = new char[data.size()];
  std::memcpy(copy, data.data(), data.size());
  data_ = copy;
  size_ = data.size();
  return true;
}

void MappedFile::Close() {
  delete[] data_;
  data_ = nullptr;
  size_ = 0;
}

void MappedFile::Release() const {}
#else
bool MappedFile::Open(const std::string& path) {
  Close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st{};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && uint64_t(st.st_size) < (1ull << 32)) {
    void* p = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (p != MAP_FAILED) {
      data_ = static_cast<const char*>(p);
      size_ = size_t(st.st_size);
    }
  }
  ::close(fd);
  return data_ != nullptr;
}

void MappedFile::Close() {
  if (data_) ::munmap(const_cast<char*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

void MappedFile::Release() const {
  if (data_) ::madvise(const_cast<char*>(data_), size_, MADV_DONTNEED);
}
#endif

bool MobileTable::Load(const std::string& path) {
  std::lock_guard<std::mutex> lock(lock_);
  index_ = nullptr;
  built_.reset();
  owned_.clear();
  bool ok = file_.Open(path);
  text_ = file_.view();
  return ok;
}

bool MobileTable::LoadText(std::string_view utf8) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    index_ = nullptr;
    built_.reset();
    file_.Close();
    owned_ = std::string(utf8);
    text_ = owned_;
  }
  return size() > 0;
}

const MobileTable::Index& MobileTable::Built() const {
  if (const Index* ready = index_.load(std::memory_order_acquire)) return *ready;
  std::lock_guard<std::mutex> lock(lock_);
  if (!built_) {
    auto index = std::make_unique<Index>();
    EachRow(text_, [&](std::string_view line, size_t offset) {
      size_t tabs = size_t(std::count(line.begin(), line.end(), '\t'));
      std::string_view prefix = line.substr(0, line.find('\t'));
      if (tabs < 3 || !AllDigits(prefix) || prefix.size() > kMaxPrefix) return;
      index->longest = std::max(index->longest, prefix.size());
      index->rows.emplace_back(uint64_t(prefix.size()) << 40 | std::stoull(std::string(prefix)), uint32_t(offset));
    });
    // Stable: of equal prefixes the later line stays last.
    std::stable_sort(index->rows.begin(), index->rows.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    index->rows.shrink_to_fit();
    built_ = std::move(index);
    // The scan read every page; lookups read back the few they need.
    file_.Release();
  }
  index_.store(built_.get(), std::memory_order_release);
  return *built_;
}

size_t MobileTable::size() const { return Built().rows.size(); }

std::optional<MobilePlace> MobileTable::Find(std::string_view digits) const {
  const Index& index = Built();
  for (size_t n = std::min(digits.size(), index.longest); n > 0; --n) {
    std::string_view prefix = digits.substr(0, n);
    if (!AllDigits(prefix)) continue;
    uint64_t key = uint64_t(n) << 40 | std::stoull(std::string(prefix));
    auto it = std::upper_bound(index.rows.begin(), index.rows.end(), key,
                               [](uint64_t k, const auto& row) { return k < row.first; });
    if (it == index.rows.begin() || std::prev(it)->first != key) continue;
    std::string_view line = text_.substr(std::prev(it)->second);
    line = line.substr(0, line.find_first_of("\r\n"));
    auto cols = Fields(line);
    return MobilePlace{FromUtf8(cols[1]), FromUtf8(cols[2]), FromUtf8(cols[3])};
  }
  return std::nullopt;
}

bool IpTable::Load(const std::string& path) {
  blocks_ = 0;
  owned_.clear();
  return file_.Open(path) && Take(file_.view());
}

bool IpTable::LoadBytes(std::string data) {
  blocks_ = 0;
  file_.Close();
  owned_ = std::move(data);
  return Take(owned_);
}

bool IpTable::Take(std::string_view data) {
  if (data.size() < 8) return false;
  uint32_t first = Le32(data, 0), last = Le32(data, 4);
  if (first < 8 || last < first || (last - first) % 12 != 0 || size_t(last) + 12 > data.size()) return false;
  data_ = data;
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
      std::string region = FromUtf8(data_.substr(off + 4, len - 4));
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
  std::lock_guard<std::mutex> lock(lock_);
  names_ = nullptr;
  built_.reset();
  path_ = path;
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

bool Divisions::LoadText(std::string_view utf8) {
  auto names = std::make_unique<Map>();
  EachRow(utf8, [&](std::string_view line, size_t) {
    auto cols = Fields(line);
    if (cols.size() >= 2 && AllDigits(cols[0])) (*names)[std::string(cols[0])] = FromUtf8(cols[1]);
  });
  std::lock_guard<std::mutex> lock(lock_);
  path_.clear();
  built_ = std::move(names);
  names_.store(built_.get(), std::memory_order_release);
  return !built_->empty();
}

const Divisions::Map& Divisions::Names() const {
  if (const Map* ready = names_.load(std::memory_order_acquire)) return *ready;
  std::lock_guard<std::mutex> lock(lock_);
  if (!built_) {
    built_ = std::make_unique<Map>();
    std::string data;
    if (!path_.empty() && ReadFile(path_, data))
      EachRow(data, [&](std::string_view line, size_t) {
        auto cols = Fields(line);
        if (cols.size() >= 2 && AllDigits(cols[0])) (*built_)[std::string(cols[0])] = FromUtf8(cols[1]);
      });
  }
  names_.store(built_.get(), std::memory_order_release);
  return *built_;
}

std::string Divisions::Describe(std::string_view code6) const {
  static const std::string kDistricts = G(u8"市辖区"), kCounties = G(u8"县");
  const Map& names = Names();
  auto name = [&](std::string_view code) -> std::string {
    auto it = names.find(std::string(code));
    return it == names.end() ? std::string() : it->second;
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
