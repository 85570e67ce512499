#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engineTestSupport.h"
#include "scan.h"

namespace ravelin {
namespace {

TEST(MatchesPattern, WildcardsAndLiterals) {
  EXPECT_TRUE(MatchesPattern("take.wav", "*.wav"));
  EXPECT_TRUE(MatchesPattern(".wav", "*.wav"));
  EXPECT_FALSE(MatchesPattern("take.wav.bak", "*.wav"));
  EXPECT_FALSE(MatchesPattern("take.aifc", "*.aif"));
  EXPECT_TRUE(MatchesPattern("a.wav.wav", "*.wav"));
  EXPECT_TRUE(MatchesPattern("abc", "a?c"));
  EXPECT_FALSE(MatchesPattern("ac", "a?c"));
  EXPECT_TRUE(MatchesPattern("x", "**"));
  EXPECT_FALSE(MatchesPattern("TAKE.WAV", "*.wav")); // names are lower-cased by the scan
}

class TRecordingObserver : public TScanObserver {
public:
  std::vector<std::string> Folders, Errors;
  int CancelAfter = -1; // entries allowed before Cancel
  int Entries = 0;
  void FolderEntered(const std::string& folder) override { Folders.push_back(folder); }
  bool CancelRequested() override { return CancelAfter >= 0 && Entries++ >= CancelAfter; }
  void ShowError(const std::string& text) override { Errors.push_back(text); }
};

TEST(ScanFolder, CollectsTheThreePatternsSortedCaseInsensitively) {
  test::TTempFolder folder;
  for (const char* name : {"b.WAV", "a.wav", "c.aiff", "d.aifc", "e.w64", "f.txt"})
    test::WriteTextFile(folder.Path() + name, "");
  std::filesystem::create_directories(folder.Path() + "x/y");
  test::WriteTextFile(folder.Path() + "x/y/z.wav", "");
  std::filesystem::create_directories(folder.Path() + "dir.wav");

  TRecordingObserver observer;
  std::vector<std::string> list;
  ASSERT_TRUE(ScanFolder(folder.Path(), list, observer, false));
  SortFileList(list);
  const std::string p = folder.Path();
  EXPECT_EQ(list, (std::vector<std::string>{p + "a.wav", p + "b.WAV", p + "c.aiff"}));

  list.clear();
  ASSERT_TRUE(ScanFolder(folder.Path(), list, observer, true));
  SortFileList(list);
  EXPECT_EQ(list, (std::vector<std::string>{p + "a.wav", p + "b.WAV", p + "c.aiff", p + "x/y/z.wav"}));
  EXPECT_NE(std::find(observer.Folders.begin(), observer.Folders.end(), p + "x/y/"), observer.Folders.end());
  EXPECT_TRUE(observer.Errors.empty());
}

TEST(ScanFolder, EmptyMissingAndCancelled) {
  test::TTempFolder folder;
  TRecordingObserver observer;
  std::vector<std::string> list;
  EXPECT_TRUE(ScanFolder(folder.Path(), list, observer, true));
  EXPECT_TRUE(list.empty());

  EXPECT_FALSE(ScanFolder(folder.Path() + "missing/", list, observer, true));
  EXPECT_EQ(observer.Errors, (std::vector<std::string>{"Error locating files!"}));

  test::WriteTextFile(folder.Path() + "a.wav", "");
  test::WriteTextFile(folder.Path() + "b.wav", "");
  observer.CancelAfter = 1;
  EXPECT_FALSE(ScanFolder(folder.Path(), list, observer, true));
  EXPECT_EQ(list.size(), 1u);
}

} // namespace
} // namespace ravelin
