#include "launcher/dll_search.h"

#include "platform/handles.h"
#include "platform/win32.h"

void RestrictDllSearchToSystemDirectory() {
  // Looked up at run time: older Windows without the update lack it.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const auto setDefaultDllDirectories =
      BindKernel32Proc<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
  if (setDefaultDllDirectories != nullptr &&
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return;
  }
  SetDllDirectoryA("");
}
