#include "installer/product_probe.h"

#include "installer/system_directory.h"
#include "platform/dll_search.h"
#include "platform/handles.h"
#include "platform/win32.h"

namespace {
// The length handed in is one less than the buffer, so the installer can never
// write past it whatever it does with the terminator.
constexpr DWORD kValueLength = 255;
constexpr DWORD kValueBufferSize = 256;

using MsiGetProductInfoAFunction = UINT(WINAPI*)(LPCSTR, LPCSTR, LPSTR, LPDWORD);
ASSERT_SDK_TYPE(MsiGetProductInfoAFunction, MsiGetProductInfoA);

// msi.dll is not one of the DLLs Windows always takes from the system
// directory: imported or loaded by name, a copy beside the launcher (in a
// download folder, say) would win. So it is loaded from the system directory
// only: by search flag where Windows has it, else by its full path. Windows
// without the flag is told by what it lacks, not by its answer: XP and 2003
// ignore the flag and load by the usual search.
HMODULE LoadInstallerLibrary() {
  if (WindowsHasDllSearchFlags()) {
    return LoadLibraryExA("msi.dll", /*reserved*/ nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  const std::string path = ResolveSystemFilePath("msi.dll");
  if (path.empty()) return nullptr;
  return LoadLibraryExA(path.c_str(), /*reserved*/ nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
}  // namespace

bool IsProductInstalled(const std::string& code) {
  HMODULE msi = LoadInstallerLibrary();
  if (msi == nullptr) return false;

  bool installed = false;
  const auto msiGetProductInfoA =
      BindProc<MsiGetProductInfoAFunction>(GetProcAddress(msi, "MsiGetProductInfoA"));
  if (msiGetProductInfoA != nullptr) {
    char value[kValueBufferSize];
    DWORD length = kValueLength;
    installed = msiGetProductInfoA(code.c_str(), "InstalledProductName", value, &length) ==
                ERROR_SUCCESS;
  }
  FreeLibrary(msi);
  return installed;
}
