// Restricting DLL loads to the system directory, with the fallback for
// Windows that lacks SetDefaultDllDirectories.
#include <gtest/gtest.h>

#include "fake_windows.h"
#include "launcher/dll_search.h"

TEST(DllSearch, SystemDirectoryOnlyWhereWindowsCanDoIt) {
  ResetFake();
  RestrictDllSearchToSystemDirectory();
  EXPECT_EQ(std::vector<std::string>{"SetDefaultDllDirectories(0x800)"},
            CallsStartingWith("SetDefault"));
  EXPECT_TRUE(CallsStartingWith("SetDllDirectoryA").empty());
}

TEST(DllSearch, OtherwiseTakesTheCurrentDirectoryOut) {
  FakeWorld& w = ResetFake();
  w.hasSetDefaultDllDirectories = false;
  RestrictDllSearchToSystemDirectory();
  EXPECT_EQ(std::vector<std::string>{"SetDllDirectoryA(\"\")"}, CallsStartingWith("SetDllDirectoryA"));
}
