// Finding a program among the running processes by its file name.
#include <gtest/gtest.h>

#include "fake_windows.h"
#include "guard/process_detection.h"

TEST(CaseFold, OnlyAsciiCapitalsChange) {
  EXPECT_EQ("winword.exe", FoldAsciiCase("WinWord.EXE"));
  // The neighbours of A and Z, and digits, stay as they are.
  EXPECT_EQ("@az[`az{09", FoldAsciiCase("@AZ[`az{09"));
  // Bytes of 0x80 and above are left alone, whatever the code page makes of them.
  const std::string high = "\xC4\xD6\xDC\x80\xFF";
  EXPECT_EQ(high, FoldAsciiCase(high));
  EXPECT_EQ(std::string("a\0b", 3), FoldAsciiCase(std::string("A\0B", 3)));
}

TEST(ProcessDetection, MatchesWholeNamesIgnoringAsciiCase) {
  FakeWorld& w = ResetFake();
  w.processes = {"System", "my-winword.exe", "winword.exe.bak", "WINWORD.EXE"};
  EXPECT_TRUE(IsProcessRunning("WinWord.exe"));
  w.processes = {"my-winword.exe", "winword.exe.bak", "winword.ex", "WinWord"};
  EXPECT_FALSE(IsProcessRunning("WinWord.exe"));
  w.processes = {"\xC4XCEL.EXE"};  // a capital outside ASCII is not folded
  EXPECT_FALSE(IsProcessRunning("\xE4xcel.exe"));
  EXPECT_TRUE(IsProcessRunning("\xC4xcel.exe"));
}

TEST(ProcessDetection, EmptyNameMatchesOnlyAnEmptyEntry) {
  FakeWorld& w = ResetFake();
  w.processes = {"a.exe", "b.exe"};
  EXPECT_FALSE(IsProcessRunning(""));
  w.processes = {"a.exe", ""};
  EXPECT_TRUE(IsProcessRunning(""));
}

TEST(ProcessDetection, StopsAtTheFirstMatchAndClosesTheSnapshot) {
  FakeWorld& w = ResetFake();
  w.processes = {"idle", "excel.exe", "EXCEL.EXE", "other"};
  EXPECT_TRUE(IsProcessRunning("Excel.exe"));
  const std::vector<std::string> expected = {
      "CreateToolhelp32Snapshot(0x2, 0)",
      "Process32First(0x100, dwSize=" + std::to_string(sizeof(PROCESSENTRY32)) + ")",
      "Process32Next(0x100)",
      "CloseHandle(0x100)",
  };
  EXPECT_EQ(expected, Fake().calls);
}

TEST(ProcessDetection, EachCallTakesAFreshSnapshot) {
  FakeWorld& w = ResetFake();
  w.processes = {"excel.exe"};
  EXPECT_TRUE(IsProcessRunning("Excel.exe"));
  w.processes = {};
  EXPECT_FALSE(IsProcessRunning("Excel.exe"));
  EXPECT_EQ(2u, CallsStartingWith("CreateToolhelp32Snapshot").size());
  EXPECT_TRUE(Fake().openHandles.empty());
}

TEST(ProcessDetection, NoSnapshotOrEmptyListMeansNotRunning) {
  FakeWorld& w = ResetFake();
  w.snapshotFails = true;
  w.processes = {"excel.exe"};
  EXPECT_FALSE(IsProcessRunning("Excel.exe"));
  EXPECT_EQ(std::vector<std::string>{"CreateToolhelp32Snapshot(0x2, 0)"}, Fake().calls);

  w = ResetFake();
  EXPECT_FALSE(IsProcessRunning("Excel.exe"));
  EXPECT_EQ(3u, Fake().calls.size());  // snapshot, empty first read, close
  EXPECT_TRUE(Fake().openHandles.empty());
}

TEST(ProcessDetection, NameFillingTheWholeFieldIsReadWithinIt) {
  FakeWorld& w = ResetFake();
  const std::string longName(MAX_PATH, 'x');  // no room left for a terminator
  w.processes = {longName};
  EXPECT_TRUE(IsProcessRunning(longName));
  EXPECT_FALSE(IsProcessRunning(longName + "x"));
}
