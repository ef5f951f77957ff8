#include "guard/process_detection.h"

#include <cstring>

#include "platform/handles.h"
#include "platform/win32.h"

#ifdef _WIN32
// The narrow entry as the 32-bit toolhelp API expects it; a different size
// would make Process32First refuse every call.
static_assert(sizeof(PROCESSENTRY32) == (sizeof(void*) == 4 ? 296 : 304),
              "unexpected PROCESSENTRY32 layout");
#endif

std::string FoldAsciiCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

namespace {
// The field holds at most 259 characters and a zero, but a name is read only
// up to the end of the field even if the zero is missing.
std::string ReadExeFileName(const PROCESSENTRY32& entry) {
  const char* name = entry.szExeFile;
  const void* end = std::memchr(name, '\0', sizeof entry.szExeFile);
  const std::size_t length =
      end ? static_cast<std::size_t>(static_cast<const char*>(end) - name) : sizeof entry.szExeFile;
  return std::string(name, length);
}
}  // namespace

bool IsProcessRunning(const std::string& name) {
  const std::string target = FoldAsciiCase(name);

  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, /*processId*/ 0);
  if (!IsValidHandle(snapshot)) return false;

  PROCESSENTRY32 entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;

  bool found = false;
  BOOL more = Process32First(snapshot, &entry);
  while (more && !found) {
    found = FoldAsciiCase(ReadExeFileName(entry)) == target;
    if (!found) more = Process32Next(snapshot, &entry);
  }

  CloseHandle(snapshot);
  return found;
}
