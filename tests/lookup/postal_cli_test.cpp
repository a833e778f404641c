#include <gtest/gtest.h>

#include <sstream>

#include "base/files.h"
#include "cli/cli.h"
#include "support/testutil.h"

namespace zel {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Cli(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"zelmora-cli"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  std::ostringstream out, err;
  int code = cli::Main(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

TEST(PostalCommand, PrintsTheProvincePageOrSaysWhy) {
  test::AppFolder app;
  CopyFile(std::string(ZEL_TEST_DATA) + "/lookup/mailtel.ini", app / "mailtel.ini");
  test::TempDir empty;
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string inOut, inErr;
  };
  const std::vector<Case> cases = {
      {{"--app", app.path(), "postal", "华北"}, 0, "<td><font size=\"2\" face=\"宋体\">天津</font></td>\n", ""},
      {{"--app", app.path(), "postal", "无节"}, 0, "省洲名称：&nbsp;&nbsp;无节</td>", ""},
      {{"--app", app.path(), "postal", "火星"}, 2, "", "华北 边缘 无节"},
      {{"--app", app.path(), "postal"}, 2, "", "usage: postal PROVINCE"},
      {{"--app", app.path(), "postal", "\xff"}, 2, "", "not UTF-8"},
      {{"--app", empty.path(), "postal", "华北"}, 1, "", "no mailtel.ini"},
  };
  for (const auto& c : cases) {
    CliRun r = Cli(c.args);
    EXPECT_EQ(r.code, c.code) << c.args.back() << "\n" << r.err;
    if (!c.inOut.empty()) {
      EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
    }
    if (!c.inErr.empty()) {
      EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
    }
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
  }
}

}  // namespace
}  // namespace zel
