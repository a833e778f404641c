#include "weather/memo.h"

#include <mutex>
#include <unordered_map>

namespace zel {

namespace {
struct List {
  TextList keys, pages;
  std::unordered_map<std::string, size_t> first;  // folded key -> oldest row

  void Append(const std::string& key, const std::string& page) {
    first.emplace(FoldCase(key), keys.size());
    keys.push_back(key);
    pages.push_back(page);
  }
  std::optional<std::string> Find(const std::string& key) const {
    auto it = first.find(FoldCase(key));
    if (it == first.end()) return std::nullopt;
    return pages[it->second];
  }
  void Clear() {
    keys.clear();
    pages.clear();
    first.clear();
  }
};
}  // namespace

struct PageMemo::Impl {
  mutable std::mutex lock;
  List forecast, trend;
};

PageMemo::PageMemo() : impl_(new Impl) {}
PageMemo::~PageMemo() { delete impl_; }

PageMemo& PageMemo::Instance() {
  static PageMemo* memo = new PageMemo;
  return *memo;
}

void PageMemo::AppendForecast(const std::string& key, const std::string& page) {
  std::lock_guard<std::mutex> l(impl_->lock);
  impl_->forecast.Append(key, page);
}
void PageMemo::AppendTrend(const std::string& key, const std::string& page) {
  std::lock_guard<std::mutex> l(impl_->lock);
  impl_->trend.Append(key, page);
}
std::optional<std::string> PageMemo::FindForecast(const std::string& key) const {
  std::lock_guard<std::mutex> l(impl_->lock);
  return impl_->forecast.Find(key);
}
std::optional<std::string> PageMemo::FindTrend(const std::string& key) const {
  std::lock_guard<std::mutex> l(impl_->lock);
  return impl_->trend.Find(key);
}
void PageMemo::Clear() {
  std::lock_guard<std::mutex> l(impl_->lock);
  impl_->forecast.Clear();
  impl_->trend.Clear();
}
TextList PageMemo::ForeCastKeys() const {
  std::lock_guard<std::mutex> l(impl_->lock);
  return impl_->forecast.keys;
}
TextList PageMemo::ForeCastPages() const {
  std::lock_guard<std::mutex> l(impl_->lock);
  return impl_->forecast.pages;
}
TextList PageMemo::TrendKeys() const {
  std::lock_guard<std::mutex> l(impl_->lock);
  return impl_->trend.keys;
}
TextList PageMemo::TrendPages() const {
  std::lock_guard<std::mutex> l(impl_->lock);
  return impl_->trend.pages;
}

}  // namespace zel
