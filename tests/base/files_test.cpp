#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "base/files.h"
#include "base/ini.h"
#include "support/testutil.h"

using namespace zel;
using zel::test::TempDir;

TEST(TextLists, LinesEndAtCrLfOrCrLfAndSaveWithCrLf) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (TextList{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n"), (TextList{"a"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (TextList{"a", ""}));
  EXPECT_EQ(SplitLines("\n"), (TextList{""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(JoinLines({"a", ""}), "a\r\n\r\n");
  EXPECT_EQ(JoinLines({}), "");
}

TEST(TextLists, CompactPageHasTheLinesOfAList) {
  for (std::string text :
       {"", "a", "\n", "\r", "\r\n", "\n\r", "\r\r\n\n", "a\r\nb\nc\rd", "a\r\n\r\n", "x\n\ny", "\xB0\r\n\xFF"}) {
    TextList want = SplitLines(text);
    PageLines page{std::string(text)};
    ASSERT_EQ(page.size(), want.size()) << "input of " << text.size() << " bytes";
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(page[i], want[i]) << i;
    PageLines fromList(want);
    ASSERT_EQ(fromList.size(), want.size());
  }
}

TEST(TextLists, LoadingStopsAtAZeroByte) {
  TempDir dir;
  dir.Write("p.txt", std::string("one\r\ntwo\0three\r\n", 16));
  TextList lines;
  ASSERT_TRUE(LoadLines(dir / "p.txt", lines));
  EXPECT_EQ(lines, (TextList{"one", "two"}));
  EXPECT_FALSE(LoadLines(dir / "missing.txt", lines));
  PageLines page;
  ASSERT_TRUE(LoadPage(dir / "p.txt", page, 1024));
  ASSERT_EQ(page.size(), 2u);
  EXPECT_EQ(page[1], "two");
}

TEST(Files, CopyFileNeverReplacesAnExistingTarget) {
  TempDir dir;
  dir.Write("a", "new");
  dir.Write("b", "old");
  EXPECT_FALSE(CopyFile(dir / "a", dir / "b"));
  EXPECT_EQ(dir.Read("b"), "old");
  EXPECT_TRUE(CopyFile(dir / "a", dir / "c"));
  EXPECT_EQ(dir.Read("c"), "new");
  EXPECT_FALSE(CopyFile(dir / "missing", dir / "d"));
  EXPECT_FALSE(dir.Exists("d"));
}

TEST(Files, AtomicWriteLeavesNoTemporaryBehind) {
  TempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "f", "1"));
  ASSERT_TRUE(WriteFileAtomic(dir / "f", "22"));
  EXPECT_EQ(dir.Read("f"), "22");
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"f"}) << "no temporary file is left beside the target";
  DeleteFile(dir / "f");
  DeleteFile(dir / "f");  // a second delete is harmless
  EXPECT_FALSE(FileExists(dir / "f"));
  EXPECT_FALSE(WriteFileAtomic(dir / "no/such/folder/f", "x"));
}

// A reader that shares no delete (a C runtime stream, a virus scanner)
// briefly bars a replace on Windows: the write waits it out.
TEST(Files, AtomicWriteWaitsOutABriefReader) {
  TempDir dir;
  dir.Write("f", "old");
  auto reader = std::make_unique<std::ifstream>(std::filesystem::path(dir / "f"), std::ios::binary);
  ASSERT_TRUE(reader->is_open());
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    reader.reset();
  });
  bool wrote = WriteFileAtomic(dir / "f", "new");
  closer.join();
  EXPECT_TRUE(wrote);
  EXPECT_EQ(dir.Read("f"), "new");
}

TEST(Files, ListSubDirsSkipsDotFoldersAndFiles) {
  TempDir dir;
  for (const char* d : {"default", ".hidden", "blue", ".git"}) std::filesystem::create_directory(dir / d);
  dir.Write("file.htm", "x");
  EXPECT_EQ(ListSubDirs(dir.path()), (TextList{"blue", "default"}));
  EXPECT_TRUE(ListSubDirs(dir / "missing").empty());
  EXPECT_TRUE(CreateDir(dir / "blue")) << "an existing folder counts as created";
}

// A FIFO must not hang a read, and nothing over the cap is read or rewritten.
TEST(Files, NonRegularAndOversizedFilesReadAsMissing) {
  TempDir dir;
#ifdef _WIN32
  constexpr bool kFifos = false;  // Windows has none in a folder
#else
  constexpr bool kFifos = true;
  ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0644), 0);
#endif
  std::filesystem::create_directory(dir / "dir.ini");
  std::string big = "[main]\r\nDataVersion=1\r\n" + std::string(kMaxTextFileBytes, ';');
  dir.Write("big.ini", big);
  std::string atCap = "[main]\r\nDataVersion=1\r\n";
  atCap += std::string(kMaxTextFileBytes - atCap.size(), ';');
  dir.Write("cap.ini", atCap);
  struct Case {
    const char* name;
    bool readable;
    bool writable;  // a write is refused only where it would drop content
  } cases[] = {
      {"fifo.ini", false, true},
      {"dir.ini", false, false},
      {"big.ini", false, false},
      {"cap.ini", true, true},
  };
  for (const auto& c : cases) {
    if (!kFifos && std::string(c.name) == "fifo.ini") continue;
    TextList lines;
    EXPECT_EQ(LoadLines(dir / c.name, lines), c.readable) << c.name;
    IniFile ini(dir / c.name);
    EXPECT_EQ(ini.ReadString("main", "DataVersion", "none"), c.readable ? "1" : "none") << c.name;
    EXPECT_EQ(ini.WriteString("main", "AD", "x.htm"), c.writable) << c.name;
  }
  EXPECT_EQ(dir.Read("big.ini"), big) << "a refused write leaves the file as it was";
}

TEST(Files, LeftoverTemporariesOfEndedWritersAreRemoved) {
  TempDir dir;
  std::string dead = std::to_string(test::EndedPid()), alive = std::to_string(test::OwnPid());
  std::filesystem::create_directory(dir / "Download");
  TempDir outside;
  std::error_code noLinks;  // Windows allows links to administrators only: then nothing to follow
  std::filesystem::create_directory_symlink(outside.path(), dir / "link", noLinks);
  outside.Write("x.tmp" + dead + "-1", "x");
  struct Case {
    std::string name;
    bool removed;
  } cases[] = {
      {"Sys.ini.tmp" + dead + "-0", true},
      {"Download/CC54511.txt.tmp" + dead + "-17", true},
      {"Favorite.ini.tmp" + alive + "-3", false},  // a writer still running
      {"feast.tmpl", false},
      {"a.tmp" + dead + "-", false},
      {"a.tmp" + dead + "-1x", false},
      {".tmp" + dead + "-1", false},
  };
  for (const auto& c : cases) dir.Write(c.name, "x");
  EXPECT_EQ(RemoveLeftoverTemps(dir.path()), 2);
  for (const auto& c : cases) EXPECT_EQ(dir.Exists(c.name), !c.removed) << c.name;
  EXPECT_TRUE(outside.Exists("x.tmp" + dead + "-1")) << "links are not followed";
}
