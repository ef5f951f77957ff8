// The launch sequence end to end on the stand-in: which calls each road
// makes, in which order, and the exit status it ends with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_windows.h"
#include "launcher/launch_sequence.h"
#include "sample_products.h"

namespace {
const std::string kCode = SampleProduct().productCode;
const std::string kHost = SampleProduct().hostProcessName;
const std::string kCaption = SampleProduct().displayName;
const std::string kForeign = "{11111111-2222-3333-4444-555555555555}";
const std::string kPrompt =
    "\"" + kHost + " is running.\n\nPlease close " + kHost + " to progress.\"";

int Launch(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  return RunLaunchSequence(static_cast<int>(args.size()), argv.data());
}

using Calls = std::vector<std::string>;
Calls operator+(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Calls kRestrictDllSearch = {
    "GetModuleHandleA(\"kernel32\")",
    "GetProcAddress(0x7000, \"SetDefaultDllDirectories\")",
    "SetDefaultDllDirectories(0x800)",
};

std::string Probe(const std::string& code) {
  return "MsiGetProductInfoA(\"" + code + "\", \"InstalledProductName\", 255)";
}
Calls ProbeCalls(const std::string& code) {
  return {"GetModuleHandleA(\"kernel32\")",
          "GetProcAddress(0x7000, \"SetDefaultDllDirectories\")",
          "LoadLibraryExA(\"msi.dll\", 0x800)",
          "GetProcAddress(0x7100, \"MsiGetProductInfoA\")",
          Probe(code),
          "FreeLibrary(0x7100)"};
}

const std::string kSetupX86 =
    "ShellExecuteA(0x0, \"open\", \"\"C:\\Media\\x86\\Setup.exe\"\", null, null, 1)";
const Calls kSetupCalls = {
    "GetCurrentDirectoryA(250)",
    "GetModuleHandleA(\"kernel32\")",
    "GetProcAddress(0x7000, \"IsWow64Process\")",
    "GetCurrentProcess()",
    "IsWow64Process(0xffffffffffffffff)",
    "MultiByteToWideChar(0, 0, \"C:\\Media\\x86\\Setup.exe\", -1)",
    kSetupX86,
};

std::string Removal(const std::string& code) {
  return "ShellExecuteExA(\"runas\", \"C:\\Windows\\system32\\msiexec.exe\", \" /uninstall " +
         code + " /passive /promptrestart REBOOT=ReallySuppress\")";
}

size_t Boxes() { return CallsStartingWith("MessageBoxA").size(); }
size_t SetupStarts() { return CallsStartingWith("ShellExecuteA(").size(); }
size_t Removals() { return CallsStartingWith("ShellExecuteExA(").size(); }
}  // namespace

TEST(FreshInstall, NoArgumentDoesNothingButRestrictDllSearch) {
  ResetFake();
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe"}));
  EXPECT_EQ(kRestrictDllSearch, Fake().calls);

  ResetFake();
  EXPECT_EQ(0, RunLaunchSequence(0, nullptr));
  char* onlyProgram[] = {const_cast<char*>("SetupLauncher.exe"), nullptr, nullptr};
  EXPECT_EQ(0, RunLaunchSequence(2, onlyProgram));  // count says 2, vector holds 1
  EXPECT_EQ(kRestrictDllSearch + kRestrictDllSearch, Fake().calls);
}

TEST(FreshInstall, NotInstalledProbesOnceAndStartsSetup) {
  ResetFake();
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode, "ignored", "/x"}));
  EXPECT_EQ(kRestrictDllSearch + ProbeCalls(kCode) + kSetupCalls, Fake().calls);
}

TEST(FreshInstall, EmptyCodeIsProbedAsItIs) {
  ResetFake();
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", ""}));
  EXPECT_EQ(Probe(""), CallsStartingWith("MsiGetProductInfoA").at(0));
  EXPECT_EQ(1u, SetupStarts());
  EXPECT_EQ(0u, Removals());
}

TEST(FreshInstall, AnyProbeFailureReadsAsNotInstalled) {
  FakeWorld& w = ResetFake();
  w.notInstalledAnswer = 1608;  // ERROR_UNKNOWN_PROPERTY, not the usual 1605
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));
  EXPECT_EQ(1u, SetupStarts());
}

TEST(FreshInstall, InstalledNameTooLongForTheBufferReadsAsNotInstalled) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.installedName = std::string(255, 'n');  // the installer answers ERROR_MORE_DATA
  w.processes = {kHost};
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));
  EXPECT_EQ(kRestrictDllSearch + ProbeCalls(kCode) + kSetupCalls, Fake().calls);
}

TEST(FreshInstall, OldestWindowsRunsWithoutTheNewerFunctions) {
  // No DLL search switches, no search flags, no IsWow64Process.
  FakeWorld& w = ResetFake();
  w.searchFlags = FakeWorld::SearchFlags::Ignored;
  w.hasSetDllDirectoryA = false;
  w.hasIsWow64Process = false;
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));
  EXPECT_TRUE(CallsStartingWith("SetD").empty());
  EXPECT_EQ(1u, CallsStartingWith("LoadLibraryExA").size());
  EXPECT_EQ(1u, CallsStartingWith("MsiGetProductInfoA").size());
  EXPECT_EQ(kSetupX86, Fake().calls.back());
}

TEST(Upgrade, HostNotRunningRemovesWithoutPromptThenStartsSetup) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.processes = {"explorer.exe"};
  for (const std::string& host : OtherHostsInLowerCase()) w.processes.push_back(host);
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));

  EXPECT_EQ(0u, Boxes());
  Calls processCheck = {
      "CreateToolhelp32Snapshot(0x2, 0)",
      "Process32First(0x100, dwSize=" + std::to_string(sizeof(PROCESSENTRY32)) + ")"};
  // One more read per process, the last of which finds none.
  processCheck.insert(processCheck.end(), w.processes.size(), "Process32Next(0x100)");
  processCheck.push_back("CloseHandle(0x100)");
  const Calls removal = {"GetSystemDirectoryA(260)", Removal(kCode),
                         "WaitForSingleObject(0x101, 0xffffffff)", "CloseHandle(0x101)"};
  EXPECT_EQ(kRestrictDllSearch + ProbeCalls(kCode) + processCheck + removal + ProbeCalls(kCode) +
                kSetupCalls,
            Fake().calls);
  EXPECT_TRUE(Fake().openHandles.empty());
  EXPECT_EQ(0, Fake().loadedModules);
}

TEST(Upgrade, HostClosedThenRetryShowsOneBox) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.processes = {InUpperCase(kHost)};
  w.boxReplies = {{IDRETRY, {"explorer.exe"}, true}};
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));

  ASSERT_EQ(1u, Boxes());
  EXPECT_EQ("MessageBoxA(0x0, " + kPrompt + ", \"" + kCaption + "\", 0x35)",
            CallsStartingWith("MessageBoxA")[0]);
  EXPECT_EQ(1u, Removals());
  EXPECT_EQ(1u, SetupStarts());
}

TEST(Upgrade, RetryWhileStillRunningAsksAgain) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.processes = {InLowerCase(kHost)};
  w.boxReplies = {{IDRETRY, {}, false}, {IDRETRY, {}, false}, {IDRETRY, {}, true}};
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));

  const auto boxes = CallsStartingWith("MessageBoxA");
  ASSERT_EQ(3u, boxes.size());
  EXPECT_EQ(boxes[0], boxes[2]);
  // Each answer is followed by a fresh look at the processes.
  EXPECT_EQ(4u, CallsStartingWith("CreateToolhelp32Snapshot").size());
  EXPECT_EQ(1u, SetupStarts());
}

TEST(Upgrade, CancelEndsWithStatusOneAndRemovesNothing) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.processes = {kHost};
  w.boxReplies = {{IDCANCEL, {}, false}};
  EXPECT_EQ(kExitCancelled, Launch({"SetupLauncher.exe", kCode}));
  EXPECT_EQ(1u, Boxes());
  EXPECT_EQ(0u, Removals());
  EXPECT_EQ(0u, SetupStarts());
  EXPECT_EQ(1u, CallsStartingWith("MsiGetProductInfoA").size());
  EXPECT_TRUE(Fake().openHandles.empty());
}

TEST(Upgrade, BoxThatCannotBeShownGivesUpAfterOneTry) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.processes = {kHost};
  w.boxReplies = {{0, {}, false}};
  EXPECT_EQ(kExitCancelled, Launch({"SetupLauncher.exe", kCode}));
  EXPECT_EQ(1u, Boxes());
  EXPECT_EQ(0u, Removals());
  EXPECT_EQ(0u, SetupStarts());
}

TEST(Upgrade, DeclinedElevationEndsQuietlyWithoutSetup) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.elevationDeclined = true;
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));
  EXPECT_EQ(1u, Removals());
  EXPECT_TRUE(CallsStartingWith("WaitForSingleObject").empty());
  EXPECT_EQ(2u, CallsStartingWith("MsiGetProductInfoA").size());
  EXPECT_EQ(0u, SetupStarts());
}

TEST(Upgrade, UnreadableSystemDirectoryEndsAsADeclinedElevation) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.systemDirectoryFails = true;
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));
  EXPECT_EQ(0u, Removals());
  EXPECT_EQ(2u, CallsStartingWith("MsiGetProductInfoA").size());
  EXPECT_EQ(0u, SetupStarts());
}

TEST(Upgrade, RemovalThatDoesNotTakeEndsWithoutSetup) {
  FakeWorld& w = ResetFake();
  w.installed = {kCode};
  w.removalTakes = false;
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kCode}));
  EXPECT_EQ(1u, CallsStartingWith("WaitForSingleObject").size());
  EXPECT_EQ(0u, SetupStarts());
}

TEST(Upgrade, CodeOutsideCatalogueLooksForAnEmptyName) {
  FakeWorld& w = ResetFake();
  w.installed = {kForeign};
  w.processes = {kHost};
  for (const std::string& host : OtherHostsInLowerCase()) w.processes.push_back(host);
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", kForeign}));
  EXPECT_EQ(0u, Boxes());
  EXPECT_EQ(Removal(kForeign), CallsStartingWith("ShellExecuteExA")[0]);
  EXPECT_EQ(1u, SetupStarts());

  // Only a process that reports an empty name stands in its way.
  w = ResetFake();
  w.installed = {kForeign};
  w.processes = {kHost, ""};
  w.boxReplies = {{IDCANCEL, {}, false}};
  EXPECT_EQ(kExitCancelled, Launch({"SetupLauncher.exe", kForeign}));
  EXPECT_EQ("MessageBoxA(0x0, \" is running.\n\nPlease close  to progress.\", \"\", 0x35)",
            CallsStartingWith("MessageBoxA")[0]);
}

TEST(Upgrade, LowerCaseCatalogueCodeSelectsNoHost) {
  FakeWorld& w = ResetFake();
  const std::string lower = InLowerCase(kCode);
  w.installed = {lower};
  w.processes = {kHost};  // the row's host runs, but this code is not that row
  EXPECT_EQ(kExitDone, Launch({"SetupLauncher.exe", lower}));
  EXPECT_EQ(0u, Boxes());
  EXPECT_EQ(Removal(lower), CallsStartingWith("ShellExecuteExA")[0]);
}
