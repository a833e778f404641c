// What the three sources share: guarded reading of page lines, the marker
// cuts, the messages, and the end of every fetch (record, cache, status).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/files.h"
#include "base/text.h"

namespace zel::frame {

// Thrown by Line() for a line the page does not have; a parse catches it
// and keeps the fields found so far.
struct ParseStop {};

class Page {
 public:
  explicit Page(const PageLines& lines) : lines_(lines) {}
  std::string_view Line(long long n) const {
    if (n < 0 || n >= Count()) throw ParseStop{};
    return lines_[static_cast<size_t>(n)];
  }
  long long Count() const { return static_cast<long long>(lines_.size()); }
  bool Has(long long n, std::string_view marker) const { return Line(n).find(marker) != std::string::npos; }

 private:
  const PageLines& lines_;
};

inline bool Contains(std::string_view text, std::string_view marker) {
  return text.find(marker) != std::string_view::npos;
}

// From the end of the first `open` to the start of the first `close`,
// taken as page positions (a missing marker counts as position 0).
std::string Between(std::string_view text, std::string_view open, std::string_view close);
// Every occurrence of marker removed.
std::string Remove(std::string_view text, std::string_view marker);
// Drops the first n bytes (all of them when n is larger).
void DeleteHead(std::string& s, long long n);

// The messages a fetch leaves in ErrorText / StatusText.
const std::string& MsgOffline();
const std::string& MsgNoData();
const std::string& MsgChanged();
const std::string& MsgUpdated();
const std::string& MsgNotUpdated();

// Where a fetch stands once the network part is over.
struct Fetch {
  PageLines lines;
  bool fresh = false;
};

// Downloads url as a page, setting ErrorText for the three
// failures the CC and CN pages share (offline, no page, too few lines).
Fetch FetchPage(const std::string& url, long long minLines);

// The cache file of a source's page kind and city; empty when the city id
// could name a file outside the download folder.
std::string CachePath(const std::string& prefix, const std::string& cityId);

// Every "**?**" out of a field, including one that a removal forms.
void StripRecordEnd(std::string& field);

// The provider's credit and issue time at the foot of a page ("数据：..."),
// as plain text without tags, at most kMaxCredit bytes; empty when the page
// has none (pages of the sites themselves and demo figures).
inline constexpr size_t kMaxCredit = 160;
std::string CreditLine(const PageLines& lines);
// Whether text holds the credit's mark "数据：".
bool IsCredit(std::string_view text);
// A credit with the providers' names and the licence as links to their own
// pages (a fixed list; nothing from the page becomes an address). Other
// text comes back as it is.
std::string LinkCredit(std::string_view credit);
// Whether url is one of those links: the one kind of address a page may
// open, in the desktop's browser.
bool IsCreditAddress(std::string_view url);

// The end of every fetch. Fields lose any record terminator first. A fresh parse with the right count becomes the
// record and the new cache; without a fresh page the cache answers. A fresh
// page that parses into another count yields nothing, leaves the cache as
// it was and says the page changed. An empty cachePath
// means no cache. credit is given (maybe empty) for the record kinds that
// carry one: a non-empty credit follows the counted fields as one more, in
// the record and the cache, and a cache of one line more is read when that
// line is a credit. Every other count is refused.
std::string FinishRecord(TextList& fields, bool fresh, size_t count, const std::string& cachePath,
                         const std::optional<std::string>& credit = std::nullopt);

}  // namespace zel::frame
