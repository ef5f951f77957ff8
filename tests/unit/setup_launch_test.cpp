// Starting the setup that fits the machine, below the current directory.
#include <gtest/gtest.h>

#include "fake_windows.h"
#include "setup/setup_launch.h"

namespace {
// The stand-in records texts in quotes, so a quoted path shows doubled quotes.
std::string Open(const std::string& quotedPath) {
  return "ShellExecuteA(0x0, \"open\", \"" + quotedPath + "\", null, null, 1)";
}
std::vector<std::string> SetupStarts() { return CallsStartingWith("ShellExecuteA("); }
}  // namespace

TEST(SetupPath, QuotedAndChosenByWidth) {
  EXPECT_EQ("\"C:\\Media\\x64\\Setup.exe\"", BuildSetupPath("C:\\Media", true));
  EXPECT_EQ("\"C:\\Media\\x86\\Setup.exe\"", BuildSetupPath("C:\\Media", false));
  // A drive root keeps its own separator: two in a row, passed on unchanged.
  EXPECT_EQ("\"D:\\\\x86\\Setup.exe\"", BuildSetupPath("D:\\", false));
}

TEST(LaunchSetup, Wow64ChoosesX64AndOpensNormally) {
  FakeWorld& w = ResetFake();
  w.wow64 = true;
  LaunchSetup();
  EXPECT_EQ(std::vector<std::string>{Open("\"C:\\Media\\x64\\Setup.exe\"")}, SetupStarts());
}

TEST(LaunchSetup, WithoutWow64ChoosesX86) {
  FakeWorld& w = ResetFake();
  w.hasIsWow64Process = false;
  w.wow64 = true;  // never asked: the function does not exist
  LaunchSetup();
  EXPECT_TRUE(CallsStartingWith("IsWow64Process").empty());
  EXPECT_EQ(std::vector<std::string>{Open("\"C:\\Media\\x86\\Setup.exe\"")}, SetupStarts());

  w = ResetFake();
  w.wow64 = true;
  w.isWow64ProcessWritesNothing = true;
  LaunchSetup();
  EXPECT_EQ(std::vector<std::string>{Open("\"C:\\Media\\x86\\Setup.exe\"")}, SetupStarts());
}

TEST(LaunchSetup, DirectoryTakenAsThePlatformWritesIt) {
  FakeWorld& w = ResetFake();
  w.currentDirectory = "C:\\";
  LaunchSetup();
  EXPECT_EQ(std::vector<std::string>{Open("\"C:\\\\x86\\Setup.exe\"")}, SetupStarts());

  w = ResetFake();
  w.currentDirectory = "E:\\Product Media\\Disc 1";
  LaunchSetup();
  EXPECT_EQ(std::vector<std::string>{Open("\"E:\\Product Media\\Disc 1\\x86\\Setup.exe\"")},
            SetupStarts());
}

TEST(LaunchSetup, LongDirectoryIsReadAgainIntoALargerBuffer) {
  FakeWorld& w = ResetFake();
  w.currentDirectory = "C:\\" + std::string(249 - 3, 'd');  // 249 characters: still fits
  LaunchSetup();
  EXPECT_EQ(1u, CallsStartingWith("GetCurrentDirectoryA").size());
  EXPECT_EQ(std::vector<std::string>{Open("\"" + w.currentDirectory + "\\x86\\Setup.exe\"")},
            SetupStarts());

  w = ResetFake();
  w.currentDirectory = "C:\\" + std::string(400, 'd');
  LaunchSetup();
  EXPECT_EQ((std::vector<std::string>{"GetCurrentDirectoryA(250)", "GetCurrentDirectoryA(404)"}),
            CallsStartingWith("GetCurrentDirectoryA"));
  EXPECT_EQ(std::vector<std::string>{Open("\"" + w.currentDirectory + "\\x86\\Setup.exe\"")},
            SetupStarts());
}

TEST(LaunchSetup, UnreadableDirectoryStartsNothing) {
  FakeWorld& w = ResetFake();
  w.currentDirectoryFails = true;
  LaunchSetup();
  EXPECT_TRUE(SetupStarts().empty());

  w = ResetFake();
  w.currentDirectory = "C:\\" + std::string(400, 'd');
  w.currentDirectoryFailsOnSecondRead = true;
  LaunchSetup();
  EXPECT_EQ(2u, CallsStartingWith("GetCurrentDirectoryA").size());
  EXPECT_TRUE(SetupStarts().empty());
}
