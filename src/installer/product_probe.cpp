#include "installer/product_probe.h"

#include "platform/win32.h"

namespace {
// The length handed in is one less than the buffer, so the installer can never
// write past it whatever it does with the terminator.
constexpr DWORD kValueLength = 255;
constexpr DWORD kValueBufferSize = 256;
}  // namespace

bool IsProductInstalled(const std::string& code) {
  char value[kValueBufferSize];
  DWORD length = kValueLength;
  return MsiGetProductInfoA(code.c_str(), "InstalledProductName", value, &length) ==
         ERROR_SUCCESS;
}
