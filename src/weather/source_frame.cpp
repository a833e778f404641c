#include "weather/source_frame.h"

#include "base/download.h"
#include "base/appenv.h"
#include "base/gbk.h"
#include "weather/cache.h"
#include "weather/status.h"

namespace zel::frame {

std::string Between(std::string_view text, std::string_view open, std::string_view close) {
  long long a = static_cast<long long>(Pos(open, text));
  long long b = static_cast<long long>(Pos(close, text));
  long long start = a + static_cast<long long>(open.size());
  return Copy(text, start, b - start);
}

std::string Remove(std::string_view text, std::string_view marker) { return ReplaceText(text, marker, "", true); }

void DeleteHead(std::string& s, long long n) {
  if (n <= 0) return;
  s.erase(0, std::min(s.size(), static_cast<size_t>(n)));
}

const std::string& MsgOffline() {
  static const std::string s = G(u8"有错误发生，错误原因：网络不通，无法得到该城市的数据信息！");
  return s;
}
const std::string& MsgNoData() {
  static const std::string s = G(u8"有错误发生，错误原因：没有该地区数据。请使用别的服务器（建议使用天气在线服务器）！");
  return s;
}
const std::string& MsgChanged() {
  static const std::string s = G(u8"有错误发生，错误原因：数据结构改变，无法得到正确的数据信息！");
  return s;
}
const std::string& MsgUpdated() {
  static const std::string s = G(u8"完成，已更新！");
  return s;
}
const std::string& MsgNotUpdated() {
  static const std::string s = G(u8"完成，未更新！");
  return s;
}

Fetch FetchPage(const std::string& url, long long minLines) {
  Fetch f;
  if (!IsOnline()) {
    ErrorText = MsgOffline();
  } else if (!DownloadToPage(url, f.lines)) {
    ErrorText = MsgNoData();
  } else if (static_cast<long long>(f.lines.size()) < minLines) {
    ErrorText = MsgChanged();
  } else {
    f.fresh = true;
  }
  return f;
}

std::string CachePath(const std::string& prefix, const std::string& cityId) {
  if (cityId.find('/') != std::string::npos || cityId.find('\\') != std::string::npos) return {};
  return CacheFileName(prefix, cityId);
}

void StripRecordEnd(std::string& field) {
  // Removing one occurrence can join the pieces into another.
  while (field.find(kRecordEnd) != std::string::npos) field = ReplaceText(field, kRecordEnd, "", true);
}

bool IsCredit(std::string_view text) {
  static const std::string mark = G(u8"数据：");
  return text.find(mark) != std::string_view::npos;
}

namespace {

struct CreditLink {
  std::string_view name, address;
};
// Longer names first: "Open-Meteo.com" before "Open-Meteo".
constexpr CreditLink kCreditLinks[] = {
    {"Open-Meteo.com", "https://open-meteo.com/"},
    {"Open-Meteo", "https://open-meteo.com/"},
    {"MET Norway", "https://www.met.no/en"},
    {"CC BY 4.0", "https://creativecommons.org/licenses/by/4.0/"},
};

}  // namespace

std::string LinkCredit(std::string_view credit) {
  if (!IsCredit(credit)) return std::string(credit);
  std::string out;
  for (size_t i = 0; i < credit.size();) {
    const CreditLink* hit = nullptr;
    for (const auto& l : kCreditLinks)
      if (credit.substr(i, l.name.size()) == l.name) {
        hit = &l;
        break;
      }
    if (hit) {
      out.append("<a href=\"").append(hit->address).append("\">").append(hit->name).append("</a>");
      i += hit->name.size();
      continue;
    }
    // A double-byte character moves whole: its second byte may look like a letter.
    size_t step = static_cast<unsigned char>(credit[i]) >= 0x81 && i + 1 < credit.size() ? 2 : 1;
    out.append(credit.substr(i, step));
    i += step;
  }
  return out;
}

bool IsCreditAddress(std::string_view url) {
  for (const auto& l : kCreditLinks)
    if (url == l.address) return true;
  return false;
}

std::string CreditLine(const PageLines& lines) {
  // The credit stands at the foot; a page may quote the words higher up.
  for (size_t n = lines.size(); n-- > 0;) {
    std::string_view line = lines[n];
    if (!IsCredit(line)) continue;
    // '<' and '>' are never the second byte of a double-byte character.
    std::string text;
    bool inTag = false;
    for (char c : line) {
      if (c == '<') inTag = true;
      else if (c == '>') inTag = false;
      else if (!inTag) text += c;
    }
    text = Trim(ReplaceText(text, "&nbsp;", " ", true));
    if (!IsCredit(text)) return {};
    if (text.size() > kMaxCredit) {
      size_t end = 0;
      while (end < text.size()) {
        size_t step = static_cast<unsigned char>(text[end]) >= 0x81 ? 2 : 1;
        if (end + step > kMaxCredit) break;
        end += step;
      }
      text.resize(end);
    }
    return text;
  }
  return {};
}

std::string FinishRecord(TextList& fields, bool fresh, size_t count, const std::string& cachePath,
                         const std::optional<std::string>& credit) {
  if (!fresh) {
    auto cached = cachePath.empty() ? std::nullopt : LoadCacheFile(cachePath, count, credit ? count + 1 : count);
    // One line more is the credit, never a stray line or a blank one.
    if (!cached || (cached->size() == count + 1 && !IsCredit(cached->back()))) return {};
    fields = std::move(*cached);
  }
  // A fresh parse is counted before its credit joins it.
  const bool credited =
      fresh ? fields.size() == count && credit && !credit->empty() : credit && fields.size() == count + 1;
  if (fresh && credited) fields.push_back(*credit);
  // A field holding the terminator would split into more fields when the
  // record is read back, and the page would come out empty.
  for (auto& f : fields) StripRecordEnd(f);
  if (fields.size() != count && !credited) {
    // Otherwise the status line would show whatever an older call left.
    ErrorText = MsgChanged();
    return {};
  }
  std::string record = JoinRecord(fields);
  if (fresh) {
    if (!cachePath.empty()) SaveCacheFile(cachePath, fields);
    StatusText = MsgUpdated();
  } else {
    StatusText = MsgNotUpdated();
  }
  return record;
}

}  // namespace zel::frame
