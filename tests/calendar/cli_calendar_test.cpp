#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/testutil.h"

namespace zel {
namespace {

struct CliRun {
  int rc;
  std::string out, err;
};

CliRun Cli(const test::AppFolder& app, std::vector<std::string> args) {
  args.insert(args.begin(), {"zelmora-cli", "--app", app.path()});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  int rc = cli::Main(static_cast<int>(argv.size()), argv.data(), out, err);
  return {rc, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

TEST(CliCalendar, LunarListsEveryDayOfTheRange) {
  test::AppFolder app;
  CliRun r = Cli(app, {"lunar", "2013-06-07", "2013-06-09"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out,
            "2013-06-07\t2013\t4\t29\t廿九\n"
            "2013-06-08\t2013\t5\t1\t五月\n"
            "2013-06-09\t2013\t5\t2\t初二\n");
  r = Cli(app, {"lunar", "1901-01-01"});
  EXPECT_EQ(r.out, "1901-01-01\t1900\t11\t11\t十一\n");
  r = Cli(app, {"lunar", "1901-01-01", "2051-02-10"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(Lines(r.out).size(), 54828u);
  EXPECT_EQ(Lines(r.out).back(), "2051-02-10\t2050\t12\t29\t廿九");
}

TEST(CliCalendar, BadArgumentsAreUsageErrors) {
  test::AppFolder app;
  struct Case {
    std::vector<std::string> args;
    const char* why;
  } cases[] = {
      {{"lunar"}, "no date"},
      {{"lunar", "2013-6-8"}, "not YYYY-MM-DD"},
      {{"lunar", "2013-02-30"}, "no such day"},
      {{"lunar", "1900-12-31"}, "before the tables"},
      {{"lunar", "2051-02-10", "2051-02-11"}, "after the tables"},
      {{"lunar", "2013-06-09", "2013-06-08"}, "TO before FROM"},
      {{"cyclic", "x"}, "not a year"},
      {{"cyclic"}, "no year"},
      {{"calendar", "1900", "1"}, "before the spin range"},
      {{"calendar", "2501", "1"}, "after the spin range"},
      {{"calendar", "2009", "13"}, "no such month"},
      {{"calendar", "2009", "2", "--today"}, "--today without a date"},
      {{"calendar", "2009", "2", "--today", "2009-02-29"}, "no such day"},
  };
  for (const auto& c : cases) {
    CliRun r = Cli(app, c.args);
    EXPECT_EQ(r.rc, 2) << c.why;
    EXPECT_TRUE(r.out.empty()) << c.why;
    EXPECT_FALSE(r.err.empty()) << c.why;
  }
}

TEST(CliCalendar, CyclicAndMonthCells) {
  test::AppFolder app;
  EXPECT_EQ(Cli(app, {"cyclic", "2006"}).out, "丙戌 狗年\n");
  app.Write("feast.ini", G(u8"[公历节日]\r\n0214=情人节\r\n[农历节日]\r\n0101=春节\r\n"));
  CliRun r = Cli(app, {"calendar", "2009", "2", "--today", "2009-02-14"});
  ASSERT_EQ(r.rc, 0) << r.err;
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 42u);
  EXPECT_EQ(lines[0], "1\t1<br>初七");
  EXPECT_EQ(lines[13], "14\t<font color=\"#FF0000\">14<br>情人节</font>");
  EXPECT_EQ(lines[28], "29\t&nbsp;<br>&nbsp;");
  r = Cli(app, {"calendar", "2051", "3"});
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Lines(r.out)[3], "4\t1<br>") << "March 2051 starts on a Wednesday; no lunar text";
}

}  // namespace
}  // namespace zel
