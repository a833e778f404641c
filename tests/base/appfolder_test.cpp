// Where the program keeps its files: its own folder when built or portable,
// the user's folder (filled from the read-only share) when installed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "base/appenv.h"
#include "base/files.h"
#include "support/testutil.h"

namespace fs = std::filesystem;
using namespace zel;
using zel::test::EnvVar;
using zel::test::TempDir;

namespace {

// Relative name -> content of every regular file under root.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = test::ReadAll(e.path().string());
  return files;
}

// <root>usr/share/zelmora holding the shipped data and some server data.
std::string MakeShare(const TempDir& root) {
  std::string share = root / "usr/share/zelmora/";
  fs::create_directories(share);
  fs::copy(fs::path(ZEL_SOURCE_DIR) / "data", share, fs::copy_options::recursive);
  root.Write("usr/share/zelmora/serverdata/mobile.tsv", "big\n");
  fs::create_directories(root / "usr/bin");
  return share;
}

}  // namespace

TEST(AppFolders, BuildPortableAndInstalledTreesEachFindTheirFolder) {
  TempDir root;
  std::string share = MakeShare(root);
  fs::create_directories(root / "usr/libexec/zelmora");
  fs::create_directories(root / "portable/share/zelmora");
  root.Write("portable/bin/Sys.ini", "[main]\r\n");
  root.Write("portable/share/zelmora/Weather.ini", "");
  root.Write("build/app/Weather.ini", "");
  root.Write("odd/bin/x", "");
  root.Write("odd/share/zelmora/Hello.htm", "");  // no catalogue: not an installed tree
  EnvVar xdg("XDG_DATA_HOME", root / "xdg");
  struct Case {
    std::string exe;
    std::string app;
    std::string shared;
    bool installed;
    const char* why;
  } cases[] = {
      {root / "usr/bin/", root / "xdg/zelmora/", share, true, "installed: the user's folder"},
      {root / "usr/libexec/zelmora/", root / "xdg/zelmora/", share, true, "the server's place sees the same share"},
      {root / "usr/bin/../bin/", root / "xdg/zelmora/", share, true, "dot-dot in the executable's path"},
      {root / "portable/bin/", root / "portable/bin/", root / "portable/bin/", false, "Sys.ini beside it wins"},
      {root / "build/app/", root / "build/app/", root / "build/app/", false, "a build folder"},
      {root / "odd/bin/", root / "odd/bin/", root / "odd/bin/", false, "share folder without Weather.ini"},
  };
  for (const Case& c : cases) {
    AppFolders f = LocateAppFolders(c.exe);
    EXPECT_EQ(f.app, c.app) << c.why;
    EXPECT_EQ(f.shared, c.shared) << c.why;
    EXPECT_EQ(f.installed, c.installed) << c.why;
  }
  EXPECT_FALSE(fs::exists(root / "xdg")) << "locating writes nothing";
}

TEST(AppFolders, UserFolderFollowsXdgDataHomeThenHome) {
  EnvVar home("HOME", "/home/someone");
  struct Case {
    std::optional<std::string> xdg;
    std::string expected;
  } cases[] = {
      {"/data/me", "/data/me/zelmora/"},
      {"/data/me/", "/data/me/zelmora/"},
      {"relative/path", "/home/someone/.local/share/zelmora/"},  // only absolute paths count
      {"", "/home/someone/.local/share/zelmora/"},
      {std::nullopt, "/home/someone/.local/share/zelmora/"},
  };
  for (const Case& c : cases) {
    EnvVar xdg("XDG_DATA_HOME", c.xdg);
    EXPECT_EQ(UserDataFolder(), c.expected) << "XDG_DATA_HOME=" << c.xdg.value_or("(unset)");
  }
}

TEST(AppFolders, FirstStartCopiesTheShippedDataButNotTheServers) {
  TempDir root;
  std::string share = MakeShare(root);
  EnvVar xdg("XDG_DATA_HOME", root / "home/.local/share");
  AppFolders f = PrepareAppFolders(root / "usr/bin/");
  ASSERT_EQ(f.app, root / "home/.local/share/zelmora/");
  auto shipped = Snapshot(share);
  shipped.erase("serverdata/mobile.tsv");
  EXPECT_EQ(Snapshot(f.app), shipped) << "every shipped file, byte for byte, and nothing else";
  EXPECT_TRUE(DirExists(f.app + "Download"));
  EXPECT_FALSE(fs::exists(f.app + "serverdata"));
}

TEST(AppFolders, LaterStartsKeepTheUsersFilesAndAddWhatIsNew) {
  TempDir root;
  std::string share = MakeShare(root);
  EnvVar xdg("XDG_DATA_HOME", root / "xdg");
  AppFolders f = PrepareAppFolders(root / "usr/bin/");
  std::string user = f.app;
  std::string mine = G(u8"[Province]\r\n北京\r\n");
  ASSERT_TRUE(WriteFileAtomic(user + "Weather.ini", mine));
  ASSERT_TRUE(WriteFileAtomic(user + "Template/default/author.ini", "mine"));
  ASSERT_TRUE(WriteFileAtomic(user + "Sys.ini", "[main]\r\nTemplate=classic\r\n"));
  DeleteFile(user + "mail.htm");
  root.Write("usr/share/zelmora/Weather.ini", "newer catalogue");  // an upgraded package
  root.Write("usr/share/zelmora/Template/fresh/forecast.htm", "new set");

  PrepareAppFolders(root / "usr/bin/");
  struct Case {
    const char* file;
    std::string expected;
  } cases[] = {
      {"Weather.ini", mine},
      {"Template/default/author.ini", "mine"},
      {"Sys.ini", "[main]\r\nTemplate=classic\r\n"},
      {"Template/fresh/forecast.htm", "new set"},
      {"mail.htm", test::ReadAll(share + "mail.htm")},
  };
  for (const Case& c : cases) EXPECT_EQ(test::ReadAll(user + c.file), c.expected) << c.file;
}

TEST(AppFolders, ReadOnlyShareGivesWritableCopiesAndStaysUntouched) {
  TempDir root;
  std::string share = MakeShare(root);
  auto before = Snapshot(share);
  for (const auto& e : fs::recursive_directory_iterator(share))
    fs::permissions(e.path(), e.is_directory() ? fs::perms(0555) : fs::perms(0444));
  fs::permissions(share, fs::perms(0555));
  EnvVar xdg("XDG_DATA_HOME", root / "xdg");
  AppFolders f = PrepareAppFolders(root / "usr/bin/");
  ASSERT_TRUE(f.installed);
  for (const auto& e : fs::recursive_directory_iterator(f.app)) {
    bool writable = (fs::status(e.path()).permissions() & fs::perms::owner_write) != fs::perms::none;
    EXPECT_TRUE(writable) << e.path();
  }
  EXPECT_TRUE(WriteFileAtomic(f.app + "Template/default/author.ini", "x"));
  EXPECT_EQ(Snapshot(share), before);
  EXPECT_FALSE(fs::exists(share + "Download"));
  for (const auto& e : fs::recursive_directory_iterator(share)) fs::permissions(e.path(), fs::perms(0755));
  fs::permissions(share, fs::perms(0755));
}

TEST(AppFolders, UnmakeableUserFolderFallsBackToTheShare) {
  TempDir root;
  std::string share = MakeShare(root);
  root.Write("blocker", "a file where the folder should go");
  EnvVar xdg("XDG_DATA_HOME", root / "blocker");
  AppFolders f = PrepareAppFolders(root / "usr/bin/");
  EXPECT_EQ(f.app, share);
  EXPECT_FALSE(fs::exists(share + "Download"));
}
