// Restricting DLL loads to the system directory, with the fallbacks for
// Windows that lacks or refuses SetDefaultDllDirectories.
#include <gtest/gtest.h>

#include "fake_windows.h"
#include "platform/dll_search.h"

namespace {
const std::vector<std::string> kLookUpBoth = {
    "GetProcAddress(0x7000, \"SetDefaultDllDirectories\")",
    "GetProcAddress(0x7000, \"SetDllDirectoryA\")",
};

// The lookups and the calls a run makes, in order.
std::vector<std::string> SearchCalls() {
  std::vector<std::string> calls;
  for (const std::string& c : Fake().calls)
    if (c.rfind("GetModuleHandleA", 0) != 0) calls.push_back(c);
  return calls;
}
}  // namespace

TEST(DllSearch, SystemDirectoryOnlyWhereWindowsCanDoIt) {
  ResetFake();
  RestrictDllSearchToSystemDirectory();
  EXPECT_EQ((std::vector<std::string>{"GetProcAddress(0x7000, \"SetDefaultDllDirectories\")",
                                      "SetDefaultDllDirectories(0x800)"}),
            SearchCalls());
}

TEST(DllSearch, OtherwiseTakesTheCurrentDirectoryOut) {
  // Windows without the switch (Vista and 7 without KB2533623).
  FakeWorld& w = ResetFake();
  w.searchFlags = FakeWorld::SearchFlags::Refused;
  RestrictDllSearchToSystemDirectory();
  EXPECT_EQ((std::vector<std::string>{kLookUpBoth[0], kLookUpBoth[1], "SetDllDirectoryA(\"\")"}),
            SearchCalls());

  // The switch exists but refuses.
  w = ResetFake();
  w.setDefaultDllDirectoriesFails = true;
  RestrictDllSearchToSystemDirectory();
  EXPECT_EQ((std::vector<std::string>{kLookUpBoth[0], "SetDefaultDllDirectories(0x800)",
                                      kLookUpBoth[1], "SetDllDirectoryA(\"\")"}),
            SearchCalls());
}

TEST(DllSearch, OldestWindowsHasNeitherAndGoesOn) {
  FakeWorld& w = ResetFake();
  w.searchFlags = FakeWorld::SearchFlags::Ignored;
  w.hasSetDllDirectoryA = false;
  RestrictDllSearchToSystemDirectory();
  EXPECT_EQ(kLookUpBoth, SearchCalls());
}
