// Where the program keeps its files: its own folder when built or portable,
// the user's folder (filled from the read-only share) when installed.
#include <gtest/gtest.h>

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

// Where each user's folder goes, and its name there.
#ifdef _WIN32
constexpr const char* kUserHome = "APPDATA";
constexpr const char* kUserDir = "Zelmora/";
#else
constexpr const char* kUserHome = "XDG_DATA_HOME";
constexpr const char* kUserDir = "zelmora/";
#endif

// The folder names the tests run under: plain, and Chinese with a space.
const char* const kRoots[] = {"", "\xE5\xA4\xA9\xE6\xB0\x94 \xE6\xB5\x8B\xE8\xAF\x95/"};

// The program's paths are UTF-8; std::filesystem takes them as such only so.
fs::path P(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }
std::string S(const fs::path& p) {
  std::u8string s = p.generic_u8string();
  return std::string(s.begin(), s.end());
}

std::string Read(const std::string& path) {
  std::string data;
  ReadFile(path, data);
  return data;
}

void Write(const std::string& path, const std::string& data) {
  fs::create_directories(P(path).parent_path());
  ASSERT_TRUE(WriteFileAtomic(path, data)) << path;
}

// Relative name -> content of every regular file under root.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(P(root)))
    if (e.is_regular_file()) files[S(fs::relative(e.path(), P(root)))] = Read(S(e.path()));
  return files;
}

// <root>usr/share/zelmora holding the shipped data and some server data.
std::string MakeShare(const std::string& root) {
  std::string share = root + "usr/share/zelmora/";
  const std::string data = std::string(ZEL_SOURCE_DIR) + "/data";
  fs::create_directories(P(share));
  for (const auto& e : fs::recursive_directory_iterator(data)) {
    std::string to = share + e.path().generic_string().substr(data.size() + 1);
    e.is_directory() ? (void)CreateDir(to) : (void)CopyFile(e.path().generic_string(), to);
  }
  Write(root + "usr/share/zelmora/serverdata/mobile.tsv", "big\n");
  fs::create_directories(P(root + "usr/bin"));
  return share;
}

}  // namespace

TEST(AppFolders, BuildPortableAndInstalledTreesEachFindTheirFolder) {
  for (const char* under : kRoots) {
    TempDir tmp;
    const std::string root = tmp.path() + under;
    std::string share = MakeShare(root);
    fs::create_directories(P(root + "usr/libexec/zelmora"));
    fs::create_directories(P(root + "portable/share/zelmora"));
    Write(root + "portable/bin/Sys.ini", "[main]\r\n");
    Write(root + "portable/share/zelmora/Weather.ini", "");
    Write(root + "build/app/Weather.ini", "");
    Write(root + "odd/bin/x", "");
    Write(root + "odd/share/zelmora/Hello.htm", "");  // no catalogue: not an installed tree
    EnvVar home(kUserHome, tmp / "home");             // the environment stays ASCII
    std::string user = tmp / "home/" + kUserDir;
    struct Case {
      std::string exe;
      std::string app;
      std::string shared;
      bool installed;
      const char* why;
    } cases[] = {
        {root + "usr/bin/", user, share, true, "installed: the user's folder"},
        {root + "usr/libexec/zelmora/", user, share, true, "the server's place sees the same share"},
        {root + "usr/bin/../bin/", user, share, true, "dot-dot in the executable's path"},
        {root + "portable/bin/", root + "portable/bin/", root + "portable/bin/", false, "Sys.ini beside it wins"},
        {root + "build/app/", root + "build/app/", root + "build/app/", false, "a build folder"},
        {root + "odd/bin/", root + "odd/bin/", root + "odd/bin/", false, "share folder without Weather.ini"},
    };
    for (const Case& c : cases) {
      AppFolders f = LocateAppFolders(c.exe);
      EXPECT_EQ(f.app, c.app) << c.why << " in " << root;
      EXPECT_EQ(f.shared, c.shared) << c.why << " in " << root;
      EXPECT_EQ(f.installed, c.installed) << c.why << " in " << root;
    }
    EXPECT_FALSE(fs::exists(P(tmp / "home"))) << "locating writes nothing";
  }
}

TEST(AppFolders, UserFolderFollowsTheEnvironmentThenTheSystem) {
#ifdef _WIN32
  std::string system;
  {
    EnvVar unset("APPDATA", std::nullopt);
    system = UserDataFolder();
  }
  ASSERT_TRUE(system.size() > 9 && system.substr(system.size() - 9) == "/Zelmora/") << system;
  struct Case {
    std::optional<std::string> env;
    std::string expected;
  } cases[] = {
      {"D:\\Roaming", "D:/Roaming/Zelmora/"},
      {"D:/Roaming/", "D:/Roaming/Zelmora/"},
      {"\\\\host\\profiles\\me", "//host/profiles/me/Zelmora/"},
      {"relative\\path", system},  // only absolute paths count
      {"", system},
  };
  const char* name = "APPDATA";
#else
  EnvVar home("HOME", "/home/someone");
  struct Case {
    std::optional<std::string> env;
    std::string expected;
  } cases[] = {
      {"/data/me", "/data/me/zelmora/"},
      {"/data/me/", "/data/me/zelmora/"},
      {"relative/path", "/home/someone/.local/share/zelmora/"},  // only absolute paths count
      {"", "/home/someone/.local/share/zelmora/"},
      {std::nullopt, "/home/someone/.local/share/zelmora/"},
  };
  const char* name = "XDG_DATA_HOME";
#endif
  for (const Case& c : cases) {
    EnvVar env(name, c.env);
    EXPECT_EQ(UserDataFolder(), c.expected) << name << "=" << c.env.value_or("(unset)");
  }
}

TEST(AppFolders, FirstStartCopiesTheShippedDataButNotTheServers) {
  for (const char* under : kRoots) {
    TempDir tmp;
    const std::string root = tmp.path() + under;
    std::string share = MakeShare(root);
    EnvVar home(kUserHome, tmp / "home");
    AppFolders f = PrepareAppFolders(root + "usr/bin/");
    ASSERT_EQ(f.app, tmp / "home/" + kUserDir) << root;
    auto shipped = Snapshot(share);
    shipped.erase("serverdata/mobile.tsv");
    EXPECT_EQ(Snapshot(f.app), shipped) << "every shipped file, byte for byte, and nothing else, in " << root;
    EXPECT_TRUE(DirExists(f.app + "Download")) << root;
    EXPECT_FALSE(fs::exists(P(f.app + "serverdata"))) << root;
  }
}

TEST(AppFolders, UnwritablePortableFolderIsASharedOneWithoutItsPrograms) {
  TempDir tmp;
  for (const char* name : {"Sys.ini", "Weather.ini", "zelmora.exe", "zelmora-server.exe", "zelmora-cli", "server.log"})
    tmp.Write("portable/" + std::string(name), name);
  tmp.Write("portable/.windows.lock", "");
  EnvVar home(kUserHome, tmp / "home");
  std::string user = tmp / "home/" + kUserDir;
  ASSERT_TRUE(FillUserFolder({user, tmp / "portable/", true}));
  EXPECT_EQ(Snapshot(user),
            (std::map<std::string, std::string>{{"Sys.ini", "Sys.ini"}, {"Weather.ini", "Weather.ini"}}))
      << "the data, not the programs nor what they write beside them";

  fs::permissions(tmp / "portable", fs::perms(0555));
  bool writable = WriteFileAtomic(tmp / "portable/probe", "x");
  AppFolders f = LocateAppFolders(tmp / "portable/");
  fs::permissions(tmp / "portable", fs::perms(0755));
  if (writable) GTEST_SKIP() << "this user writes into a read-only folder (root; Wine maps no rights)";
  EXPECT_EQ(f.app, user);
  EXPECT_EQ(f.shared, tmp / "portable/");
  EXPECT_TRUE(f.installed);
}

TEST(AppFolders, LaterStartsKeepTheUsersFilesAndAddWhatIsNew) {
  TempDir root;
  std::string share = MakeShare(root.path());
  EnvVar home(kUserHome, root / "xdg");
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
  std::string share = MakeShare(root.path());
  auto before = Snapshot(share);
  for (const auto& e : fs::recursive_directory_iterator(share))
    fs::permissions(e.path(), e.is_directory() ? fs::perms(0555) : fs::perms(0444));
  fs::permissions(share, fs::perms(0555));
  EnvVar home(kUserHome, root / "xdg");
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
  std::string share = MakeShare(root.path());
  root.Write("blocker", "a file where the folder should go");
  EnvVar home(kUserHome, root / "blocker");
  AppFolders f = PrepareAppFolders(root / "usr/bin/");
  EXPECT_EQ(f.app, share);
  EXPECT_FALSE(fs::exists(share + "Download"));
}
