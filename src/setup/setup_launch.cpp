#include "setup/setup_launch.h"

#include <cstring>

#include "platform/handles.h"
#include "platform/win32.h"

namespace {
constexpr DWORD kDirectoryBufferLength = 250;

const char* SetupRelativePath(bool is64BitWindows) {
  return is64BitWindows ? "\\x64\\Setup.exe" : "\\x86\\Setup.exe";
}

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
ASSERT_SDK_TYPE(IsWow64ProcessFunction, IsWow64Process);

// Takes what a narrow call wrote: its answer is the length without the
// terminator, which must lie within that answer and within the buffer.
// Nothing past either is read, whatever the call did.
bool TakeWrittenText(const std::string& buffer, DWORD answer, std::string& text) {
  if (answer == 0 || answer >= buffer.size()) return false;
  const void* end = std::memchr(buffer.data(), '\0', answer + 1);
  if (end == nullptr) return false;
  text.assign(buffer.data(), static_cast<const char*>(end));
  return true;
}

// Reads a text from a narrow call that answers its length, or the size a
// buffer needs (terminator included), or 0 on failure. An answer too large
// for the first buffer is read once more into one of the size asked for;
// if it grew meanwhile, nothing is taken.
template <typename Read>
bool ReadNarrowText(DWORD firstLength, Read read, std::string& text) {
  std::string buffer(firstLength, '\0');
  DWORD answer = read(firstLength, &buffer[0]);
  if (answer >= firstLength) {
    buffer.assign(answer, '\0');
    answer = read(static_cast<DWORD>(buffer.size()), &buffer[0]);
  }
  return TakeWrittenText(buffer, answer, text);
}

bool ReadCurrentDirectory(std::string& directory) {
  return ReadNarrowText(
      kDirectoryBufferLength,
      [](DWORD length, LPSTR buffer) { return GetCurrentDirectoryA(length, buffer); }, directory);
}

// The short (8.3) form. A volume without short names answers the path itself.
bool ReadShortPath(const std::string& path, std::string& shortPath) {
  return ReadNarrowText(
      MAX_PATH,
      [&path](DWORD length, LPSTR buffer) {
        return GetShortPathNameA(path.c_str(), buffer, length);
      },
      shortPath);
}

// A 32-bit process on 64-bit Windows runs under WOW64. IsWow64Process is
// looked up at run time because the oldest systems lack it.
bool IsRunningUnderWow64() {
  const auto isWow64Process = BindKernel32Proc<IsWow64ProcessFunction>("IsWow64Process");
  BOOL flag = FALSE;
  if (isWow64Process != nullptr) isWow64Process(GetCurrentProcess(), &flag);
  return flag != FALSE;
}

// The shell takes a program path of MAX_PATH UTF-16 units at most, its
// terminator included, long-path opt-in or not. Counted as the shell will
// convert it, from the process code page. A count that fails (0) lets the
// path go as it is.
bool ShellTakesPath(const std::string& path) {
  return MultiByteToWideChar(CP_ACP, /*flags*/ 0, path.c_str(), /*textLength*/ -1,
                             /*wide*/ nullptr, /*wideLength*/ 0) <= MAX_PATH;
}

// The directory as read, unless the setup path below it is too long for the
// shell: then its short form, if there is one that makes the path fit.
std::string DirectoryTheShellTakes(const std::string& directory, bool is64BitWindows) {
  const char* const relative = SetupRelativePath(is64BitWindows);
  std::string shortDirectory;
  if (!ShellTakesPath(directory + relative) && ReadShortPath(directory, shortDirectory) &&
      ShellTakesPath(shortDirectory + relative)) {
    return shortDirectory;
  }
  return directory;
}
}  // namespace

std::string BuildSetupPath(const std::string& directory, bool is64BitWindows) {
  return "\"" + directory + SetupRelativePath(is64BitWindows) + "\"";
}

void LaunchSetup() {
  std::string directory;
  if (!ReadCurrentDirectory(directory)) return;
  const bool is64BitWindows = IsRunningUnderWow64();
  const std::string path =
      BuildSetupPath(DirectoryTheShellTakes(directory, is64BitWindows), is64BitWindows);
  ShellExecuteA(/*owner*/ nullptr, "open", path.c_str(), /*parameters*/ nullptr,
                /*directory*/ nullptr, SW_SHOWNORMAL);
}
