// The in-memory page memo: finished forecast pages and finished trend/wind
// pages of this run, keyed "province-city". One lock guards all four lists,
// so a key and its page are always appended as one step.
#pragma once

#include <optional>
#include <string>

#include "base/text.h"

namespace zel {

class PageMemo {
 public:
  // The process-wide memo; never destroyed, so detached workers may use it
  // while the process ends.
  static PageMemo& Instance();

  void AppendForecast(const std::string& key, const std::string& page);
  void AppendTrend(const std::string& key, const std::string& page);
  // The page of the first (oldest) row whose key equals key, ASCII case
  // ignored.
  std::optional<std::string> FindForecast(const std::string& key) const;
  std::optional<std::string> FindTrend(const std::string& key) const;
  // Empties both memos.
  void Clear();

  // Copies of the lists, for tests and diagnostics.
  TextList ForeCastKeys() const;
  TextList ForeCastPages() const;
  TextList TrendKeys() const;
  TextList TrendPages() const;

  PageMemo();
  ~PageMemo();

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace zel
