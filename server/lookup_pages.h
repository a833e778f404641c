// The lookup pages. Every page carries, as its first form, the input the
// program fills (tel, ip or id), so the next query works from an answer page
// too. Answers sit in one run of inline text between the marker phrases the
// program cuts at, so the page's rendered text is the same whether a browser
// lays it out or not. Pages are GBK.
#pragma once

#include "base/text.h"

#include <string>
#include <string_view>

#include "server/lookup_data.h"

namespace zel::server {

struct LookupData {
  MobileTable mobile;
  IpTable ip;
  Divisions divisions;
};

constexpr size_t kMaxFieldBytes = 64;  // longer inputs are answered as errors

std::string MobileQueryPage();
std::string MobileAnswerPage(std::string_view input, const LookupData& data);
std::string IpQueryPage();
std::string IpAnswerPage(std::string_view input, const LookupData& data);
std::string IdCardQueryPage();
std::string IdCardAnswerPage(std::string_view input, const LookupData& data, int today);

// The program's marker phrases, GBK.
namespace marker {
std::string MobileLabel();   // 手机号码：
std::string MoreData();      // 我们会不断更新数据
std::string IpLabel();       // IP地址：
}  // namespace marker

}  // namespace zel::server
