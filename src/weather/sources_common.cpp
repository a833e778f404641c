#include "base/gbk.h"
#include "weather/sources.h"
#include "weather/status.h"

namespace zel {

thread_local std::string ErrorText;
thread_local std::string StatusText;

std::string OnlineCaption() {
  static const std::string s = G(u8"天气在线");
  return s;
}
std::string CCCaption() {
  static const std::string s = G(u8"中央气象台");
  return s;
}
std::string CNCaption() {
  static const std::string s = G(u8"中国气象影视信息网");
  return s;
}

}  // namespace zel
