#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/testutil.h"

namespace zel {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Cli(const test::TempDir& app, std::vector<std::string> args) {
  args.insert(args.begin(), {"zelmora-cli", "--app", app.path()});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  int code = cli::Main(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

std::string S(const char8_t* s) { return reinterpret_cast<const char*>(s); }

TEST(FortuneCli, PrintsWhatTheTabsShow) {
  test::TempDir app;
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string out;
  } cases[] = {
      {{"strokes", S(u8"丁丁")}, 0, "4\n"},
      {{"strokes", "abc"}, 0, "0\n"},
      {{"relation", S(u8"丁丁"), S(u8"当当")}, 0, S(u8"关系不同寻常\n\n警告：此测试纯属娱乐，不可太信哦\n")},
      {{"relation", "A", S(u8"当当")}, 1, S(u8"出错...\n")},
      {{"relation", " ", S(u8"当当")}, 2, S(u8"请输入名字...\n")},
      {{"luck", "13800000081"}, 0, S(u8"(吉、健全)：万物开泰起源数，为最大吉祥的暗示，但常人恐不当\n")},
      {{"luck", "138000000"}, 2, S(u8"手机号码位数不对，请重新输入！\n")},
      {{"luck", "1380000-123"}, 2, S(u8"手机号码输入有误，请重新输入！\n")},
      {{"strokes"}, 2, ""},
      {{"relation", "A"}, 2, ""},
      {{"luck", "1", "2"}, 2, ""},
      {{"strokes", S(u8"😀")}, 2, ""},
  };
  for (const auto& c : cases) {
    CliRun r = Cli(app, c.args);
    EXPECT_EQ(r.code, c.code) << c.args[0] << " " << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.err.empty(), c.code != 2) << c.args[0] << " " << r.err;
  }
}

}  // namespace
}  // namespace zel
