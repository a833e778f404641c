// Runs under ThreadSanitizer: the detached update thread writes Sys.ini while
// the user-interface thread switches templates in the same file.
#include <gtest/gtest.h>

#include <future>

#include "base/ini.h"
#include "update/update.h"
#include "update/update_fixture.h"

namespace zel::test {
namespace {

TEST(UpdateThreadConcurrency, DetachedRunAndTemplateWritesKeepEachOthersKeys) {
  AppFolder app;
  UpdateServer srv;
  for (int i = 1; i <= 5; ++i) srv.Put("/data/f" + std::to_string(i), std::string(2000, 'a' + i));
  std::string download = "Num=5\r\nURL=" + srv.DataUrl() + "\r\n";
  for (int i = 1; i <= 5; ++i) download += "File" + std::to_string(i) + "=f" + std::to_string(i) + "\r\nTo" +
                                           std::to_string(i) + "=f" + std::to_string(i) + "\r\n";
  srv.Description("[main]\r\nDataVersion=2\r\nAD=A.htm\r\nface=F.htm\r\n[download]\r\n" + download);

  std::promise<UpdateResult> done;
  TWeb::Start(SettingsFor(app, srv, "1"), [&done](const UpdateReport& r) { done.set_value(r.result); });
  IniFile sys(app / "Sys.ini");
  auto finished = done.get_future();
  int writes = 0;
  while (finished.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready || writes < 50)
    sys.WriteString("main", "Template", "set" + std::to_string(++writes));
  EXPECT_EQ(finished.get(), UpdateResult::Updated);
  EXPECT_EQ(sys.ReadString("main", "DataVersion", ""), "2");
  EXPECT_EQ(sys.ReadString("main", "AD", ""), "A.htm");
  EXPECT_EQ(sys.ReadString("main", "face", ""), "F.htm");
  EXPECT_EQ(sys.ReadString("main", "Template", ""), "set" + std::to_string(writes));
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(app.Read("f" + std::to_string(i)), std::string(2000, 'a' + i));
}

}  // namespace
}  // namespace zel::test
