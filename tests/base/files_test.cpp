#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "base/files.h"
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

TEST(TextLists, LoadingStopsAtAZeroByte) {
  TempDir dir;
  dir.Write("p.txt", std::string("one\r\ntwo\0three\r\n", 16));
  TextList lines;
  ASSERT_TRUE(LoadLines(dir / "p.txt", lines));
  EXPECT_EQ(lines, (TextList{"one", "two"}));
  EXPECT_FALSE(LoadLines(dir / "missing.txt", lines));
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

TEST(Files, ListSubDirsSkipsDotFoldersAndFiles) {
  TempDir dir;
  for (const char* d : {"default", ".hidden", "blue", ".git"}) ::mkdir((dir / d).c_str(), 0755);
  dir.Write("file.htm", "x");
  EXPECT_EQ(ListSubDirs(dir.path()), (TextList{"blue", "default"}));
  EXPECT_TRUE(ListSubDirs(dir / "missing").empty());
  EXPECT_TRUE(CreateDir(dir / "blue")) << "an existing folder counts as created";
}
