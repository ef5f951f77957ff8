// Small helpers for platform handles and run-time bound functions.
#pragma once

#include <type_traits>

#include "platform/win32.h"

// The shell and toolhelp answer "no handle" with null or with
// INVALID_HANDLE_VALUE depending on the call; neither may be waited on or closed.
inline bool IsValidHandle(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// GetProcAddress hands back a generic function pointer; going through
// void (*)() is the cast that compilers accept without a warning.
template <typename Function>
Function BindProc(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// Proves a hand-written pointer type against the SDK's declaration. A missing
// WINAPI would break only the 32-bit exe (x64 has one calling convention, the
// host none), so the Windows builds check it; the host has no SDK to ask.
#ifdef _WIN32
#define ASSERT_SDK_TYPE(Type, function)                                    \
  static_assert(std::is_same<Type, decltype(&::function)>::value, #Type \
                " differs from the SDK's " #function)
#else
#define ASSERT_SDK_TYPE(Type, function) static_assert(true, "")
#endif

// A kernel32 function that older Windows may lack, looked up by name.
template <typename Function>
Function BindKernel32Proc(LPCSTR name) {
  return BindProc<Function>(GetProcAddress(GetModuleHandleA("kernel32"), name));
}
