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

TEST(LaunchSetup, PathPastTheShellsLimitTakesTheShortForm) {
  // 245 characters leave the setup path at 259 UTF-16 units, the most the
  // shell takes; 242 two-byte letters count as 242 units, not 484 bytes.
  for (const std::string& fits : {"C:\\" + std::string(242, 'd'), []() {
                                    std::string s = "C:\\";
                                    for (int i = 0; i < 242; ++i) s += "\xD0\x96";  // Cyrillic Zhe
                                    return s;
                                  }()}) {
    FakeWorld& w = ResetFake();
    w.currentDirectory = fits;
    w.shortCurrentDirectory = "C:\\DDDD~1";
    LaunchSetup();
    EXPECT_TRUE(CallsStartingWith("GetShortPathNameA").empty());
    EXPECT_EQ(std::vector<std::string>{Open("\"" + fits + "\\x86\\Setup.exe\"")}, SetupStarts());
  }

  FakeWorld& w = ResetFake();
  w.currentDirectory = "C:\\" + std::string(243, 'd');
  w.shortCurrentDirectory = "C:\\DDDD~1";
  w.wow64 = true;
  LaunchSetup();
  EXPECT_EQ(std::vector<std::string>{"GetShortPathNameA(\"" + w.currentDirectory + "\", 260)"},
            CallsStartingWith("GetShortPathNameA"));
  EXPECT_EQ(std::vector<std::string>{Open("\"C:\\DDDD~1\\x64\\Setup.exe\"")}, SetupStarts());
}

TEST(LaunchSetup, NoShortFormThatFitsKeepsTheLongRequest) {
  const std::string deep = "C:\\" + std::string(255, 'd');
  // No short form at all; a volume without short names, which answers the
  // long path itself; a short form still too long (only one level has one).
  for (const std::string& shortForm :
       {std::string(), deep, "C:\\DDDD~1\\" + std::string(240, 'd')}) {
    FakeWorld& w = ResetFake();
    w.currentDirectory = deep;
    w.shortCurrentDirectory = shortForm;
    LaunchSetup();
    EXPECT_EQ(1u, CallsStartingWith("GetShortPathNameA").size());
    EXPECT_EQ(std::vector<std::string>{Open("\"" + deep + "\\x86\\Setup.exe\"")}, SetupStarts());
  }
}

TEST(LaunchSetup, DirectoryAnswerWithoutItsTerminatorStartsNothing) {
  // The platform's answer says the text fits, but no zero follows it in the
  // buffer: nothing past the buffer may be read, and nothing started.
  for (const std::size_t length : {std::size_t{10}, std::size_t{400}}) {
    FakeWorld& w = ResetFake();
    w.currentDirectory = "C:\\" + std::string(length, 'd');
    w.currentDirectoryUnterminated = true;
    LaunchSetup();
    EXPECT_EQ(length < 250 ? 1u : 2u, CallsStartingWith("GetCurrentDirectoryA").size());
    EXPECT_TRUE(SetupStarts().empty());
  }
}
