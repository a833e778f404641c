#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/testutil.h"
#include "weather/cache.h"

using zel::test::AppFolder;

namespace {

struct CliRun {
  int rc;
  std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
  args.insert(args.begin(), "zelmora-cli");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  int rc = zel::cli::Main(static_cast<int>(argv.size()), argv.data(), out, err);
  return {rc, out.str(), err.str()};
}

}  // namespace

TEST(Cli, ScrambleRoundTripsGbkText) {
  AppFolder app;
  CliRun s = Cli({"--app", app.path(), "scramble", "晴转多云"});
  ASSERT_EQ(s.rc, 0) << s.err;
  EXPECT_EQ(s.out.size(), 2 + 2 * 8 + 1u) << "four GBK characters are eight bytes";
  CliRun u = Cli({"--app", app.path(), "unscramble", s.out.substr(0, s.out.size() - 1)});
  EXPECT_EQ(u.rc, 0);
  EXPECT_EQ(u.out, "晴转多云\n");
}

TEST(Cli, ReadsALineOfACacheFileWrittenByTheProgram) {
  AppFolder app;
  ASSERT_TRUE(zel::SaveCacheFile(zel::CacheFileName("CC", "54511"), {zel::G(u8"北风3-4级")}));
  std::string line = app.Read("Download/CC54511.txt");
  line.resize(line.find('\r'));
  CliRun u = Cli({"--app", app.path(), "unscramble", line});
  EXPECT_EQ(u.rc, 0);
  EXPECT_EQ(u.out, "北风3-4级\n");
}

TEST(Cli, ClearsTemporariesAKilledRunLeft) {
  AppFolder app;
  const std::string temp = "Download/CC54511.txt.tmp" + std::to_string(zel::test::EndedPid()) + "-1";
  app.Write(temp, "half");
  EXPECT_EQ(Cli({"--app", app.path(), "scramble", "x"}).rc, 0);
  EXPECT_FALSE(app.Exists(temp));
}

TEST(Cli, BadInputAndUsageErrorsExitTwoWithAMessage) {
  AppFolder app;
  struct Case {
    std::vector<std::string> args;
    const char* why;
  } cases[] = {
      {{"--app", app.path(), "unscramble", "12"}, "too short to be scrambled"},
      {{"--app", app.path(), "unscramble", "00GG"}, "not hex"},
      {{"--app", app.path(), "scramble", "😀"}, "not expressible in GBK"},
      {{"--app", app.path(), "scramble"}, "missing argument"},
      {{"--app", app.path(), "frobnicate"}, "unknown command"},
      {{"--app", app.path() + "nope", "scramble", "x"}, "missing application folder"},
      {{"--app"}, "--app without a folder"},
      {{}, "no command"},
  };
  for (const auto& c : cases) {
    CliRun r = Cli(c.args);
    EXPECT_EQ(r.rc, 2) << c.why;
    EXPECT_FALSE(r.err.empty()) << c.why;
    EXPECT_TRUE(r.out.empty()) << c.why;
  }
}
