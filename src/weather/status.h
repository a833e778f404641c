// The last failure and completion messages of a weather source. They belong
// to the thread whose call produced them, so a prefetch worker finishing in
// the background never changes the text a query on the window shows.
#pragma once

#include <string>

namespace zel {

extern thread_local std::string ErrorText;   // begins "有错误发生，错误原因："
extern thread_local std::string StatusText;  // "完成，已更新！" or "完成，未更新！"

}  // namespace zel
