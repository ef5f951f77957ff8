// A scripted, recording stand-in for the parts of Windows the launcher uses.
// A test describes a world, runs an operation, then reads `calls`: one line
// per platform call, with its arguments, in the order they were made.
#pragma once

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/win32.h"

struct BoxReply {
  int answer;
  // The process list after the user acted (for example, closed the host).
  std::vector<std::string> processesAfterwards;
  bool changesProcesses = false;
};

struct FakeWorld {
  // Windows Installer: products installed, the name it holds for each, and
  // the answer for any other code.
  std::set<std::string> installed;
  std::string installedName = "Sample Product";
  UINT notInstalledAnswer = ERROR_UNKNOWN_PRODUCT;

  // DLL loading. Windows 8, or Vista and 7 with update KB2533623, has
  // SetDefaultDllDirectories and honours LoadLibraryEx's search flags; Vista
  // and 7 without it refuse the flags; XP and 2003 ignore them and search as
  // usual, where a msi.dll beside the exe comes first. Then msi.dll in the
  // system directory, its export, the other switch of the DLL search.
  enum class SearchFlags { Honoured, Refused, Ignored };
  SearchFlags searchFlags = SearchFlags::Honoured;
  bool msiDllBesideExe = false;
  bool msiDllPresent = true;
  bool msiExportsQuery = true;
  bool setDefaultDllDirectoriesFails = false;
  bool hasSetDllDirectoryA = true;
  bool systemDirectoryFails = false;

  // Processes, by the name toolhelp reports.
  std::vector<std::string> processes;
  bool snapshotFails = false;

  // The user's answers to successive boxes; an empty queue is a test error.
  // The user's language, and the process's code page: UTF-8, by the
  // manifest, from Windows 10 version 1903.
  std::deque<BoxReply> boxReplies;
  LANGID uiLanguage = 0x0409;
  UINT codePage = CP_UTF8;

  // Shell: elevation accepted or declined, a process handle that is
  // INVALID_HANDLE_VALUE, and whether the removal takes.
  bool elevationDeclined = false;
  bool removalHandleInvalid = false;
  bool removalTakes = true;

  // Current directory: readable, or not at all; growing between two reads;
  // an answer whose buffer holds no terminator; its short form (none: empty).
  std::string currentDirectory = "C:\\Media";
  bool currentDirectoryFails = false;
  bool currentDirectoryFailsOnSecondRead = false;
  bool currentDirectoryUnterminated = false;
  std::string shortCurrentDirectory;

  // WOW64.
  bool hasIsWow64Process = true;
  bool wow64 = false;
  bool isWow64ProcessWritesNothing = false;
};

struct ShellRequest {
  SHELLEXECUTEINFOA fields;  // as the launcher passed it, pointers not followed
  std::string verb, file, parameters;
  bool directoryNull = false;
};

struct FakeState {
  FakeWorld world;
  std::vector<std::string> calls;
  std::vector<ShellRequest> shellExRequests;
  std::set<HANDLE> openHandles;
  int loadedModules = 0;
  int besideExeLoads = 0;  // how often the msi.dll beside the exe was loaded
  int nextHandle = 0x100;
};

FakeState& Fake();

// Starts a new world: clears the record and the launcher's selection.
FakeWorld& ResetFake();

// Calls whose text begins with the prefix.
std::vector<std::string> CallsStartingWith(const std::string& prefix);
