#include "launcher/dll_search.h"

#include "platform/handles.h"
#include "platform/win32.h"

namespace {
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
ASSERT_SDK_TYPE(SetDefaultDllDirectoriesFunction, SetDefaultDllDirectories);
using SetDllDirectoryAFunction = BOOL(WINAPI*)(LPCSTR);
ASSERT_SDK_TYPE(SetDllDirectoryAFunction, SetDllDirectoryA);
}  // namespace

void RestrictDllSearchToSystemDirectory() {
  // Both are looked up at run time: imported, either would keep the loader
  // from starting the exe at all on the oldest Windows it serves (the first
  // needs Windows 8, or Vista or 7 with update KB2533623; the second XP SP1).
  // The second takes out only the current directory: the exe's own folder is
  // still searched.
  const auto setDefaultDllDirectories =
      BindKernel32Proc<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
  if (setDefaultDllDirectories != nullptr &&
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return;
  }
  const auto setDllDirectoryA = BindKernel32Proc<SetDllDirectoryAFunction>("SetDllDirectoryA");
  if (setDllDirectoryA != nullptr) setDllDirectoryA("");
}
