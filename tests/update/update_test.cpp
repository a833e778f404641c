#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "base/files.h"
#include "base/ini.h"
#include "cli/cli.h"
#include "update/update.h"
#include "update/update_fixture.h"

namespace fs = std::filesystem;

namespace zel::test {
namespace {

// Links need a right Windows gives users only in developer mode, and its
// C++ runtime makes none: the cases about links run on Linux.
#ifdef _WIN32
constexpr bool kLinks = false;
#else
constexpr bool kLinks = true;
#endif

std::string SysKey(const AppFolder& app, const std::string& key) {
  return IniFile(app / "Sys.ini").ReadString("main", key, "<absent>");
}

int EntriesIn(const std::string& folder) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
  return n;
}

std::string Describe(const std::string& version, const std::string& extraMain, const std::string& download) {
  return "[main]\r\nDataVersion=" + version + "\r\n" + extraMain + "[download]\r\n" + download;
}

TEST(UpdateThread, DataVersionDecidesWhetherTheRunUpdates) {
  struct Case {
    std::string local, remote;
    bool updates;
    const char* why;
  } cases[] = {
      {"0", "1", true, "newer remote"},
      {"1", "1", false, "equal versions change nothing"},
      {"10", "9", true, "the text 10 is smaller than the text 9"},
      {"9", "10", false, "the text 10 is smaller than the text 9"},
      {"2006-3-20", "2006-3-21", true, "last byte decides"},
      {"2006-3-21", "2006-3-2", false, "the beginning of a text is smaller"},
      {"2006-3-2", "2006-3-21", true, "the beginning of a text is smaller"},
  };
  for (const auto& c : cases) {
    AppFolder app;
    UpdateServer srv;
    srv.Description(Describe(c.remote, "AD=NewAD.htm\r\nface=NewHello.htm\r\n", "Num=0\r\n"));
    UpdateReport r = TWeb(SettingsFor(app, srv, c.local)).Execute();
    EXPECT_EQ(r.result, c.updates ? UpdateResult::Updated : UpdateResult::Current) << c.why;
    EXPECT_TRUE(r.Ok()) << c.why;
    EXPECT_EQ(r.remoteVersion, c.remote);
    // The description copy is refreshed either way.
    EXPECT_TRUE(app.Exists("UpDate.ini")) << c.why;
    EXPECT_EQ(SysKey(app, "DataVersion"), c.updates ? c.remote : "<absent>") << c.why;
    EXPECT_EQ(SysKey(app, "AD"), c.updates ? "NewAD.htm" : "<absent>") << c.why;
    EXPECT_EQ(SysKey(app, "face"), c.updates ? "NewHello.htm" : "<absent>") << c.why;
  }
}

TEST(UpdateThread, MissingRemoteVersionCountsAsZero) {
  AppFolder app;
  UpdateServer srv;
  srv.Description("[main]\r\nAD=x.htm\r\n");
  EXPECT_EQ(TWeb(SettingsFor(app, srv, "0")).Execute().result, UpdateResult::Current);
  EXPECT_FALSE(app.Exists("Sys.ini"));
}

TEST(UpdateThread, NewerDataFilesAreStagedCopiedAndRecorded) {
  AppFolder app;
  UpdateServer srv;
  fs::create_directories(app / "images");
  app.Write("Sys.ini", "[main]\r\nTemplate=blue\r\nDataVersion=1\r\n");
  // Named in GBK in the description, in UTF-8 on disk.
  std::string chinese = G(u8"新页面.htm");
  srv.Put("/data/Weather.ini", "[Province]\r\nA=\r\n");
  srv.Put("/data/" + chinese, "<html>new</html>");
  srv.Description(Describe("2", "AD=AD2.htm\r\nface=" + chinese + "\r\n",
                           "Num=2\r\nURL=" + srv.DataUrl() + "\r\nFile1=Weather.ini\r\nTo1=Weather.ini\r\nFile2=" +
                               chinese + "\r\nTo2=images\\" + chinese + "\r\n"));
  UpdateReport r = TWeb(SettingsFor(app, srv, "1")).Execute();
  ASSERT_EQ(r.result, UpdateResult::Updated);
  EXPECT_EQ(app.Read("Weather.ini"), "[Province]\r\nA=\r\n");
  EXPECT_EQ(app.Read("images/" + ToUtf8(chinese)), "<html>new</html>");
  EXPECT_EQ(EntriesIn(app / "Download"), 0) << "staged files are deleted after copying";
  EXPECT_EQ(SysKey(app, "DataVersion"), "2");
  EXPECT_EQ(SysKey(app, "AD"), "AD2.htm");
  EXPECT_EQ(SysKey(app, "face"), chinese);
  EXPECT_EQ(SysKey(app, "Template"), "blue") << "other keys survive";
}

TEST(UpdateThread, OneFailedDownloadCopiesNothingAndKeepsStagedFiles) {
  AppFolder app;
  UpdateServer srv;
  srv.Put("/data/one.ini", "one");
  srv.Description(Describe("5", "", "Num=3\r\nURL=" + srv.DataUrl() +
                                        "\r\nFile1=one.ini\r\nTo1=one.ini\r\nFile2=gone.ini\r\nTo2=gone.ini\r\n"
                                        "File3=one.ini\r\nTo3=one-again.ini\r\n"));
  UpdateReport r = TWeb(SettingsFor(app, srv, "4")).Execute();
  EXPECT_EQ(r.result, UpdateResult::DownloadFailed);
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(srv.dataRequests.load(), 3) << "every file is still tried";
  EXPECT_FALSE(app.Exists("one.ini"));
  EXPECT_FALSE(app.Exists("one-again.ini"));
  EXPECT_TRUE(app.Exists("Download/one.ini")) << "staged files stay for the next start";
  EXPECT_FALSE(app.Exists("Sys.ini"));
}

TEST(UpdateThread, ExistingDestinationFailsOnlyItsCopyAndLeavesSysIni) {
  AppFolder app;
  UpdateServer srv;
  app.Write("old.ini", "old");
  app.Write("Sys.ini", "[main]\r\nDataVersion=1\r\nAD=AD.htm\r\n");
  srv.Put("/data/old.ini", "replacement");
  srv.Put("/data/new.ini", "new");
  srv.Description(Describe("2", "AD=Other.htm\r\n", "Num=2\r\nURL=" + srv.DataUrl() +
                                                         "\r\nFile1=old.ini\r\nTo1=old.ini\r\nFile2=new.ini\r\nTo2=new.ini\r\n"));
  UpdateReport r = TWeb(SettingsFor(app, srv, "1")).Execute();
  EXPECT_EQ(r.result, UpdateResult::CopyFailed);
  EXPECT_EQ(app.Read("old.ini"), "old") << "an existing file is never replaced";
  EXPECT_EQ(app.Read("new.ini"), "new") << "the other files are still copied";
  EXPECT_EQ(EntriesIn(app / "Download"), 0) << "the staged file of the failed copy is deleted too";
  EXPECT_EQ(SysKey(app, "DataVersion"), "1");
  EXPECT_EQ(SysKey(app, "AD"), "AD.htm");
}

TEST(UpdateThread, DescriptionWithoutPageNamesWritesThemEmpty) {
  AppFolder app;
  UpdateServer srv;
  app.Write("Sys.ini", "[main]\r\nAD=Banner.htm\r\nface=Welcome.htm\r\n");
  srv.Description(Describe("3", "", "Num=0\r\n"));
  ASSERT_EQ(TWeb(SettingsFor(app, srv, "2")).Execute().result, UpdateResult::Updated);
  EXPECT_EQ(SysKey(app, "AD"), "");
  EXPECT_EQ(SysKey(app, "face"), "");
  EXPECT_EQ(SysKey(app, "DataVersion"), "3");
}

TEST(UpdateThread, UnreachableDescriptionChangesNothing) {
  struct Case {
    std::string url;
    const char* why;
  } cases[] = {
      {"", "a 404 from the server"},
      {"file:///etc/hostname", "only web addresses are fetched"},
      {"ftp://127.0.0.1/weather/UpDate.txt", "only web addresses are fetched"},
  };
  for (const auto& c : cases) {
    AppFolder app;
    UpdateServer srv;  // serves no description
    app.Write("UpDate.ini", "[main]\r\nVersion=6.0\r\n");
    UpdateSettings s = SettingsFor(app, srv, "0");
    if (!c.url.empty()) s.descriptionUrl = c.url;
    EXPECT_EQ(TWeb(s).Execute().result, UpdateResult::NoDescription) << c.why;
    EXPECT_EQ(app.Read("UpDate.ini"), "[main]\r\nVersion=6.0\r\n") << "the earlier copy stays: " << c.why;
    EXPECT_FALSE(app.Exists("Sys.ini")) << c.why;
  }
}

TEST(UpdateThread, RefusedDescriptionsChangeNothingInsideOrOutside) {
  TempDir outside;
  std::string outName = fs::path(outside.path()).parent_path().filename().string();
  struct Case {
    std::string file, to, url;  // url empty: the loopback data address
    const char* why;
  } cases[] = {
      {"a.txt", outside.path() + "victim.txt", "", "absolute destination"},
      {"a.txt", "../" + outName + "/victim.txt", "", "destination in the parent folder"},
      {"a.txt", "..\\" + outName + "\\victim.txt", "", "parent folder written with backslashes"},
      {"a.txt", "images/../../" + outName + "/victim.txt", "", "parent folder deeper in the path"},
      {"a.txt", "linkout/victim.txt", "", "a link that leads out of the folder"},
      {"a.txt", "C:\\victim.txt", "", "a drive"},
      {"a.txt", "", "", "no destination names the folder itself"},
      {"../../" + outName + "/victim.txt", "a.txt", "", "staged name outside the staging folder"},
      {outside.path() + "victim.txt", "a.txt", "", "absolute staged name"},
      {"a.txt", "a.txt", "file:///tmp/", "a local file address"},
      {"a.txt", "a.txt", "ftp://127.0.0.1/", "another scheme"},
  };
  for (const auto& c : cases) {
    if (!kLinks && c.to.find("linkout") != std::string::npos) continue;
    AppFolder app;
    UpdateServer srv;
    fs::create_directories(app / "images");
    if (kLinks) fs::create_directory_symlink(outside.path(), app / "linkout");
    const std::string sys = "[main]\r\nDataVersion=1\r\nAD=AD.htm\r\n";
    app.Write("Sys.ini", sys);
    srv.Put("/data/a.txt", "payload");
    std::string url = c.url.empty() ? srv.DataUrl() : c.url;
    // A harmless first file proves that nothing is fetched before the check.
    srv.Description(Describe("2", "AD=x.htm\r\n",
                             "Num=2\r\nURL=" + url + "\r\nFile1=a.txt\r\nTo1=first.txt\r\nFile2=" + c.file +
                                 "\r\nTo2=" + c.to + "\r\n"));
    UpdateReport r = TWeb(SettingsFor(app, srv, "1")).Execute();
    EXPECT_EQ(r.result, UpdateResult::Refused) << c.why;
    EXPECT_EQ(EntriesIn(outside.path()), 0) << c.why;
    EXPECT_EQ(srv.dataRequests.load(), 0) << c.why;
    EXPECT_EQ(EntriesIn(app / "Download"), 0) << c.why;
    EXPECT_FALSE(app.Exists("first.txt")) << c.why;
    EXPECT_EQ(app.Read("Sys.ini"), sys) << c.why;
  }
}

TEST(UpdateThread, DataFileAboveTheSizeCapIsAFailedDownload) {
  AppFolder app;
  UpdateServer srv;
  srv.Put("/data/big.bin", std::string(4096, 'x'));
  srv.Description(Describe("2", "", "Num=1\r\nURL=" + srv.DataUrl() + "\r\nFile1=big.bin\r\nTo1=big.bin\r\n"));
  UpdateSettings s = SettingsFor(app, srv, "1");
  s.fileLimits.maxBytes = 1024;
  EXPECT_EQ(TWeb(s).Execute().result, UpdateResult::DownloadFailed);
  EXPECT_FALSE(app.Exists("big.bin"));
  EXPECT_FALSE(app.Exists("Download/big.bin"));
  EXPECT_FALSE(app.Exists("Sys.ini"));
}

// Each would leave a state later runs cannot recover from, or half an update.
TEST(UpdateThread, BadCountsVersionsAndPageNamesRefuseTheWholeUpdate) {
  TempDir outside;
  outside.Write("page.htm", "x");
  struct Case {
    std::string version, main, num;
    const char* why;
  } cases[] = {
      {"2", "", "Num=100000000000000000000000", "a count far too large"},
      {"2", "", "Num=501", "one file more than allowed"},
      {"2", "", "Num=-5", "a negative count"},
      {"2", "", "Num=three", "a count that is not a number"},
      {"zzzz", "", "Num=0", "a version above every date"},
      {"2026 12 08", "", "Num=0", "a version with blanks inside"},
      {"v2", "", "Num=0", "a version that is not a date or number"},
      {"2", "AD=../evil.htm\r\n", "Num=0", "AD in the parent folder"},
      {"2", "face=/etc/passwd\r\n", "Num=0", "absolute face"},
      {"2", "AD=linkout.htm\r\n", "Num=0", "AD itself a link leading out"},
      {"2", "face=dangling.htm\r\n", "Num=0", "face a dangling link"},
  };
  for (const auto& c : cases) {
    bool link = c.main.find("linkout") != std::string::npos || c.main.find("dangling") != std::string::npos;
    if (!kLinks && link) continue;
    AppFolder app;
    UpdateServer srv;
    if (kLinks) {
      fs::create_symlink(outside / "page.htm", app / "linkout.htm");
      fs::create_symlink(outside / "gone.htm", app / "dangling.htm");
    }
    const std::string sys = "[main]\r\nDataVersion=1\r\nAD=AD.htm\r\nface=Hello.htm\r\n";
    app.Write("Sys.ini", sys);
    srv.Description(Describe(c.version, c.main, c.num + "\r\n"));
    UpdateReport r = TWeb(SettingsFor(app, srv, "1")).Execute();
    EXPECT_EQ(r.result, UpdateResult::Refused) << c.why;
    EXPECT_EQ(app.Read("Sys.ini"), sys) << c.why;
  }
}

TEST(UpdateThread, AnUnreadableLocalVersionNoLongerBlocksUpdates) {
  AppFolder app;
  UpdateServer srv;
  srv.Description(Describe("2026-12-08", "AD=A2.htm\r\n", "Num=0\r\n"));
  EXPECT_EQ(TWeb(SettingsFor(app, srv, "zzzz")).Execute().result, UpdateResult::Updated);
  EXPECT_EQ(SysKey(app, "DataVersion"), "2026-12-08");
}

TEST(UpdateThread, MissingStagingFolderIsCreated) {
  AppFolder app;
  UpdateServer srv;
  fs::remove_all(app / "Download");
  srv.Put("/data/f.ini", "f");
  srv.Description(Describe("2", "", "Num=1\r\nURL=" + srv.DataUrl() + "\r\nFile1=f.ini\r\nTo1=f.ini\r\n"));
  EXPECT_EQ(TWeb(SettingsFor(app, srv, "1")).Execute().result, UpdateResult::Updated);
  EXPECT_EQ(app.Read("f.ini"), "f");
}

TEST(UpdateThread, UncreatableStagingFolderStopsWithItsErrorText) {
  AppFolder app;
  UpdateServer srv;
  fs::remove_all(app / "Download");
  app.Write("Download", "a file where the folder should be");
  srv.Description(Describe("2", "", "Num=0\r\n"));
  UpdateReport r = TWeb(SettingsFor(app, srv, "1")).Execute();
  EXPECT_EQ(r.result, UpdateResult::NoStaging);
  EXPECT_EQ(r.errorText, "Cannot Create " + app.path() + "Download");
  EXPECT_FALSE(app.Exists("Sys.ini"));
}

TEST(UpdateCommand, ReportsWhatItDidAndExitsByOutcome) {
  struct Case {
    std::string description;
    int exit;
    std::string says;
  } cases[] = {
      {"[main]\r\nDataVersion=9\r\n[download]\r\nNum=0\r\n", 0, "data updated"},
      {"[main]\r\nDataVersion=0\r\n", 0, "data are current"},
      {"", 1, "could not be fetched"},
      {"[main]\r\nDataVersion=9\r\n[download]\r\nNum=1\r\nURL=http://127.0.0.1:1/\r\nFile1=a\r\nTo1=../a\r\n", 1,
       "refused"},
  };
  for (const auto& c : cases) {
    AppFolder app;
    UpdateServer srv;
    app.UseServer(srv.base());
    if (!c.description.empty()) srv.Description(c.description);
    std::string dir = app.path();
    const char* argv[] = {"zelmora-cli", "--app", dir.c_str(), "update"};
    std::ostringstream out, err;
    int rc = cli::Main(4, const_cast<char**>(argv), out, err);
    EXPECT_EQ(rc, c.exit) << out.str() << err.str();
    EXPECT_NE(out.str().find(c.says), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("/weather/UpDate.txt"), std::string::npos) << out.str();
  }
}

}  // namespace
}  // namespace zel::test
