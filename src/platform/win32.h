// The one include for the Windows API. On Windows it is the SDK itself; on the
// host it declares, under the same names and with the documented values, just
// what the launcher uses, so the unit tests can link a scripted stand-in.
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// clang-format off: the SDK's other headers need windows.h first
#include <msi.h>  // declarations only: msi.dll is bound at run time
#include <shellapi.h>
#include <tlhelp32.h>
// clang-format on

#else  // host build: declarations only, no behaviour

#include <cstdint>

#define WINAPI
#define CALLBACK

using BOOL = int;
using BYTE = unsigned char;
using WORD = std::uint16_t;
using LANGID = WORD;
using CHAR = char;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using ULONG = std::uint32_t;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using PBOOL = BOOL*;
using LPDWORD = DWORD*;
using LPSTR = char*;
using LPCSTR = const char*;
using WCHAR = wchar_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using HANDLE = void*;

struct HWND__;
struct HINSTANCE__;
struct HKEY__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HKEY = HKEY__*;
using FARPROC = std::intptr_t (*)();

#define FALSE 0
#define TRUE 1
#define MAX_PATH 260
#define CP_ACP 0u
#define CP_UTF8 65001u
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#define LANG_CHINESE 0x04
#define LANG_CROATIAN 0x1a
#define PRIMARYLANGID(language) ((WORD)(language)&0x3ff)

#define ERROR_SUCCESS 0u
#define ERROR_MORE_DATA 234u
#define ERROR_UNKNOWN_PRODUCT 1605u

#define TH32CS_SNAPPROCESS 0x00000002u

#define MB_RETRYCANCEL 0x00000005u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_RIGHT 0x00080000u
#define MB_RTLREADING 0x00100000u
#define IDCANCEL 2
#define IDRETRY 4

#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2

#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SEE_MASK_DOENVSUBST 0x00000200u

#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800u

struct PROCESSENTRY32 {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ProcessID;
  ULONG_PTR th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  CHAR szExeFile[MAX_PATH];
};

struct SHELLEXECUTEINFOA {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCSTR lpVerb;
  LPCSTR lpFile;
  LPCSTR lpParameters;
  LPCSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  void* lpIDList;
  LPCSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  union {
    HANDLE hIcon;
    HANDLE hMonitor;
  };
  HANDLE hProcess;
};

// kernel32
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry);
BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry);
BOOL CloseHandle(HANDLE handle);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD bufferLength);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textLength, LPWSTR wide,
                        int wideLength);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
LANGID GetUserDefaultUILanguage();
UINT GetACP();
HMODULE GetModuleHandleA(LPCSTR moduleName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
HANDLE GetCurrentProcess();
HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags);
BOOL FreeLibrary(HMODULE module);

// user32
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// shell32
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        int showCommand);

#endif
