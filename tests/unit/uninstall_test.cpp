// The elevated removal: its parameters, the shell request and the wait.
#include <gtest/gtest.h>

#include "fake_windows.h"
#include "installer/system_directory.h"
#include "installer/uninstall.h"

namespace {
const std::string kExcel = "{A4F08C3B-1E6D-47B2-9C05-E3B71D8A6F20}";
}

TEST(RemovalParameters, ExactTextForACatalogueCode) {
  const std::string p = BuildRemovalParameters(kExcel);
  EXPECT_EQ(" /uninstall {A4F08C3B-1E6D-47B2-9C05-E3B71D8A6F20} /passive /promptrestart "
            "REBOOT=ReallySuppress",
            p);
  EXPECT_EQ(96u, p.size());
  // A code with blanks goes in as it is, unquoted.
  EXPECT_EQ(" /uninstall a b /passive /promptrestart REBOOT=ReallySuppress",
            BuildRemovalParameters("a b"));
}

TEST(Uninstall, RequestIsZeroedAndFilledExactly) {
  ResetFake();
  UninstallProduct(kExcel);
  ASSERT_EQ(1u, Fake().shellExRequests.size());
  const ShellRequest& r = Fake().shellExRequests[0];
  EXPECT_EQ(sizeof(SHELLEXECUTEINFOA), r.fields.cbSize);
  EXPECT_EQ(0x240u, r.fields.fMask);
  EXPECT_EQ(nullptr, r.fields.hwnd);
  EXPECT_EQ("runas", r.verb);
  EXPECT_EQ("C:\\Windows\\system32\\msiexec.exe", r.file);
  EXPECT_EQ(BuildRemovalParameters(kExcel), r.parameters);
  EXPECT_TRUE(r.directoryNull);
  EXPECT_EQ(SW_SHOWMINIMIZED, r.fields.nShow);
  EXPECT_EQ(nullptr, r.fields.hInstApp);
  EXPECT_EQ(nullptr, r.fields.lpIDList);
  EXPECT_EQ(nullptr, r.fields.lpClass);
  EXPECT_EQ(nullptr, r.fields.hkeyClass);
  EXPECT_EQ(0u, r.fields.dwHotKey);
  EXPECT_EQ(nullptr, r.fields.hIcon);
  EXPECT_EQ(nullptr, r.fields.hProcess);
}

TEST(Uninstall, WaitsWithoutLimitThenClosesTheProcess) {
  ResetFake();
  UninstallProduct(kExcel);
  const std::vector<std::string> tail(Fake().calls.end() - 2, Fake().calls.end());
  EXPECT_EQ((std::vector<std::string>{"WaitForSingleObject(0x100, 0xffffffff)", "CloseHandle(0x100)"}),
            tail);
  EXPECT_TRUE(Fake().openHandles.empty());
}

TEST(Uninstall, DeclinedElevationLeavesNothingToWaitFor) {
  FakeWorld& w = ResetFake();
  w.elevationDeclined = true;
  UninstallProduct(kExcel);
  EXPECT_EQ(2u, Fake().calls.size());  // the system directory, the request
  EXPECT_EQ(1u, Fake().shellExRequests.size());
}

TEST(Uninstall, InvalidHandleIsNeitherWaitedOnNorClosed) {
  FakeWorld& w = ResetFake();
  w.removalHandleInvalid = true;
  UninstallProduct(kExcel);
  EXPECT_EQ(1u, Fake().shellExRequests.size());
  EXPECT_TRUE(CallsStartingWith("WaitForSingleObject").empty());
  EXPECT_TRUE(CallsStartingWith("CloseHandle").empty());
}

TEST(Uninstall, UnreadableSystemDirectoryStartsNothing) {
  FakeWorld& w = ResetFake();
  w.systemDirectoryFails = true;
  UninstallProduct(kExcel);
  EXPECT_TRUE(Fake().shellExRequests.empty());
}

TEST(SystemPath, JoinsWithOneSeparator) {
  EXPECT_EQ("C:\\Windows\\system32\\msiexec.exe", JoinPath("C:\\Windows\\system32", "msiexec.exe"));
  EXPECT_EQ("C:\\msiexec.exe", JoinPath("C:\\", "msiexec.exe"));
}

TEST(Uninstall, EmptyCodeStartsNothing) {
  ResetFake();
  UninstallProduct("");
  EXPECT_TRUE(Fake().calls.empty());
}
