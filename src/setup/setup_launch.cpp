#include "setup/setup_launch.h"

#include "platform/handles.h"
#include "platform/win32.h"

namespace {
constexpr DWORD kDirectoryBufferLength = 250;

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
ASSERT_SDK_TYPE(IsWow64ProcessFunction, IsWow64Process);

// Reads the current directory. A directory longer than the usual buffer is
// read again into one of the size the platform asked for; a path is never
// built from a buffer the platform did not fill.
bool ReadCurrentDirectory(std::string& directory) {
  char buffer[kDirectoryBufferLength];
  const DWORD length = GetCurrentDirectoryA(kDirectoryBufferLength, buffer);
  if (length == 0) return false;
  if (length < kDirectoryBufferLength) {
    directory = buffer;
    return true;
  }

  // The answer is the size needed, terminator included.
  std::string larger(length, '\0');
  const DWORD again = GetCurrentDirectoryA(length, &larger[0]);
  if (again == 0 || again >= length) return false;  // failed, or it grew meanwhile
  directory = larger.c_str();
  return true;
}

// A 32-bit process on 64-bit Windows runs under WOW64. IsWow64Process is
// looked up at run time because the oldest systems lack it.
bool IsRunningUnderWow64() {
  const auto isWow64Process = BindKernel32Proc<IsWow64ProcessFunction>("IsWow64Process");
  BOOL flag = FALSE;
  if (isWow64Process != nullptr) isWow64Process(GetCurrentProcess(), &flag);
  return flag != FALSE;
}
}  // namespace

std::string BuildSetupPath(const std::string& directory, bool is64BitWindows) {
  return "\"" + directory + (is64BitWindows ? "\\x64\\Setup.exe" : "\\x86\\Setup.exe") + "\"";
}

void LaunchSetup() {
  std::string directory;
  if (!ReadCurrentDirectory(directory)) return;
  const std::string path = BuildSetupPath(directory, IsRunningUnderWow64());
  ShellExecuteA(/*owner*/ nullptr, "open", path.c_str(), /*parameters*/ nullptr,
                /*directory*/ nullptr, SW_SHOWNORMAL);
}
