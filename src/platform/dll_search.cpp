#include "platform/dll_search.h"

#include "platform/handles.h"
#include "platform/win32.h"

namespace {
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
ASSERT_SDK_TYPE(SetDefaultDllDirectoriesFunction, SetDefaultDllDirectories);
using SetDllDirectoryAFunction = BOOL(WINAPI*)(LPCSTR);
ASSERT_SDK_TYPE(SetDllDirectoryAFunction, SetDllDirectoryA);

// Looked up at run time: imported, it would keep the loader from starting the
// exe at all on the oldest Windows it serves (it needs Windows 8, or Vista or
// 7 with update KB2533623).
SetDefaultDllDirectoriesFunction FindSetDefaultDllDirectories() {
  return BindKernel32Proc<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
}
}  // namespace

bool WindowsHasDllSearchFlags() { return FindSetDefaultDllDirectories() != nullptr; }

void RestrictDllSearchToSystemDirectory() {
  const auto setDefaultDllDirectories = FindSetDefaultDllDirectories();
  if (setDefaultDllDirectories != nullptr &&
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return;
  }
  // XP SP1 and later: takes out only the current directory; the exe's own
  // folder is still searched. Looked up for the same reason.
  const auto setDllDirectoryA = BindKernel32Proc<SetDllDirectoryAFunction>("SetDllDirectoryA");
  if (setDllDirectoryA != nullptr) setDllDirectoryA("");
}
