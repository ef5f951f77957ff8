#include "fake_windows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "launcher/product_catalogue.h"

namespace {
FakeState state;

HMODULE const kKernel32 = reinterpret_cast<HMODULE>(0x7000);
HMODULE const kMsi = reinterpret_cast<HMODULE>(0x7100);
HMODULE const kMsiBesideExe = reinterpret_cast<HMODULE>(0x7200);
const char kSystemDirectory[] = "C:\\Windows\\system32";
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

std::string Text(const char* s) { return s ? "\"" + std::string(s) + "\"" : "null"; }
std::string Hex(std::uintptr_t v) {
  char b[32];
  std::snprintf(b, sizeof b, "0x%lx", static_cast<unsigned long>(v));
  return b;
}
std::string Handle(HANDLE h) { return Hex(reinterpret_cast<std::uintptr_t>(h)); }
void Record(const std::string& call) { state.calls.push_back(call); }

HANDLE NewHandle() {
  HANDLE h = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(state.nextHandle++));
  state.openHandles.insert(h);
  return h;
}

struct Snapshot {
  HANDLE handle;
  std::size_t next;
};
std::vector<Snapshot> snapshots;

BOOL FillEntry(HANDLE snapshot, PROCESSENTRY32* entry, bool first) {
  for (Snapshot& s : snapshots) {
    if (s.handle != snapshot) continue;
    if (entry->dwSize != sizeof(PROCESSENTRY32)) return FALSE;
    if (first) s.next = 0;
    if (s.next >= state.world.processes.size()) return FALSE;
    const std::string& name = state.world.processes[s.next++];
    std::memset(entry->szExeFile, 0, sizeof entry->szExeFile);
    std::memcpy(entry->szExeFile, name.data(), std::min(name.size(), sizeof entry->szExeFile));
    return TRUE;
  }
  throw std::logic_error("process walk on an unknown snapshot");
}

BOOL FakeSetDefaultDllDirectories(DWORD flags) {
  Record("SetDefaultDllDirectories(" + Hex(flags) + ")");
  return state.world.setDefaultDllDirectoriesFails ? FALSE : TRUE;
}

BOOL FakeSetDllDirectoryA(LPCSTR pathName) {
  Record("SetDllDirectoryA(" + Text(pathName) + ")");
  return TRUE;
}

UINT FakeMsiGetProductInfoA(LPCSTR product, LPCSTR attribute, LPSTR valueBuffer,
                            LPDWORD valueLength) {
  Record("MsiGetProductInfoA(" + Text(product) + ", " + Text(attribute) + ", " +
         std::to_string(*valueLength) + ")");
  if (state.world.installed.count(product) == 0) return state.world.notInstalledAnswer;
  // Like the installer: a name that does not fit with its terminator is not
  // written, and the length it would need comes back.
  const std::string& name = state.world.installedName;
  if (name.size() >= *valueLength) {
    *valueLength = static_cast<DWORD>(name.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(valueBuffer, name.c_str(), name.size() + 1);
  *valueLength = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

template <typename Function>
FARPROC AsProc(Function function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

BOOL FakeIsWow64Process(HANDLE process, PBOOL flag) {
  Record("IsWow64Process(" + Handle(process) + ")");
  if (!state.world.isWow64ProcessWritesNothing) *flag = state.world.wow64 ? TRUE : FALSE;
  return TRUE;
}
// The user's next answer to a box, narrow or wide.
int NextBoxReply() {
  if (state.world.boxReplies.empty()) throw std::logic_error("a box nobody expected");
  BoxReply reply = state.world.boxReplies.front();
  state.world.boxReplies.pop_front();
  if (reply.changesProcesses) state.world.processes = reply.processesAfterwards;
  return reply.answer;
}
}  // namespace

FakeState& Fake() { return state; }

FakeWorld& ResetFake() {
  state = FakeState{};
  snapshots.clear();
  SelectedProduct = ProductSelection{};
  return state.world;
}

std::vector<std::string> CallsStartingWith(const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& c : state.calls)
    if (c.compare(0, prefix.size(), prefix) == 0) found.push_back(c);
  return found;
}

// ---- kernel32 ----

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
  Record("CreateToolhelp32Snapshot(" + Hex(flags) + ", " + std::to_string(processId) + ")");
  if (state.world.snapshotFails) return INVALID_HANDLE_VALUE;
  HANDLE h = NewHandle();
  snapshots.push_back({h, 0});
  return h;
}

BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry) {
  Record("Process32First(" + Handle(snapshot) + ", dwSize=" + std::to_string(entry->dwSize) + ")");
  return FillEntry(snapshot, entry, true);
}

BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry) {
  Record("Process32Next(" + Handle(snapshot) + ")");
  return FillEntry(snapshot, entry, false);
}

BOOL CloseHandle(HANDLE handle) {
  Record("CloseHandle(" + Handle(handle) + ")");
  if (state.openHandles.erase(handle) == 0) throw std::logic_error("closing a handle not open");
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  Record("WaitForSingleObject(" + Handle(handle) + ", " + Hex(milliseconds) + ")");
  if (state.openHandles.count(handle) == 0) throw std::logic_error("waiting on a handle not open");
  return 0;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  Record("GetCurrentDirectoryA(" + std::to_string(bufferLength) + ")");
  const FakeWorld& w = state.world;
  const bool second = CallsStartingWith("GetCurrentDirectoryA").size() > 1;
  if (w.currentDirectoryFails || (second && w.currentDirectoryFailsOnSecondRead)) return 0;
  const DWORD needed = static_cast<DWORD>(w.currentDirectory.size() + 1);
  if (needed > bufferLength) {
    // Like Windows: the buffer is left as it was; scribble on it so a caller
    // that reads it anyway builds a path the tests can tell.
    std::memset(buffer, '?', bufferLength);
    return needed;
  }
  std::memcpy(buffer, w.currentDirectory.c_str(), needed);
  if (w.currentDirectoryUnterminated)
    std::memset(buffer + needed - 1, 'x', bufferLength - needed + 1);
  return needed - 1;
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD bufferLength) {
  Record("GetShortPathNameA(" + Text(longPath) + ", " + std::to_string(bufferLength) + ")");
  const std::string& found = state.world.shortCurrentDirectory;
  if (found.empty() || longPath != state.world.currentDirectory) return 0;
  if (found.size() >= bufferLength) return static_cast<DWORD>(found.size() + 1);
  std::memcpy(shortPath, found.c_str(), found.size() + 1);
  return static_cast<DWORD>(found.size());
}

// The process code page is taken as UTF-8, as the manifest asks: a text
// becomes its UTF-16 units, two for a character outside the Basic
// Multilingual Plane, and the terminator. Only a terminated text is modelled.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textLength, LPWSTR wide,
                        int wideLength) {
  Record("MultiByteToWideChar(" + std::to_string(codePage) + ", " + std::to_string(flags) + ", " +
         Text(text) + ", " + std::to_string(textLength) +
         (wide ? ", " + std::to_string(wideLength) : "") + ")");
  if (textLength != -1) throw std::logic_error("only a terminated text is modelled");
  std::vector<WCHAR> units;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c;) {
    const int length = *c >= 0xF0 ? 4 : *c >= 0xE0 ? 3 : *c >= 0xC0 ? 2 : 1;
    std::uint32_t point = length == 1 ? *c : *c & (0x7F >> length);
    for (int i = 1; i < length; ++i) point = point << 6 | (c[i] & 0x3F);
    c += length;
    if (point >= 0x10000) {
      units.push_back(static_cast<WCHAR>(0xD800 + ((point - 0x10000) >> 10)));
      point = 0xDC00 + ((point - 0x10000) & 0x3FF);
    }
    units.push_back(static_cast<WCHAR>(point));
  }
  units.push_back(0);
  if (wide == nullptr) return static_cast<int>(units.size());
  if (wideLength < static_cast<int>(units.size())) return 0;  // ERROR_INSUFFICIENT_BUFFER
  std::copy(units.begin(), units.end(), wide);
  return static_cast<int>(units.size());
}

UINT GetACP() {
  Record("GetACP()");
  return state.world.codePage;
}

LANGID GetUserDefaultUILanguage() {
  Record("GetUserDefaultUILanguage()");
  return state.world.uiLanguage;
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
  Record("GetSystemDirectoryA(" + std::to_string(size) + ")");
  if (state.world.systemDirectoryFails) return 0;
  if (size < sizeof kSystemDirectory) return sizeof kSystemDirectory;
  std::memcpy(buffer, kSystemDirectory, sizeof kSystemDirectory);
  return sizeof kSystemDirectory - 1;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  Record("GetModuleHandleA(" + Text(moduleName) + ")");
  return kKernel32;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  Record("GetProcAddress(" + Handle(module) + ", " + Text(procName) + ")");
  const std::string name = procName;
  const FakeWorld& w = state.world;
  if (module == kKernel32 && name == "IsWow64Process" && w.hasIsWow64Process)
    return AsProc(&FakeIsWow64Process);
  if (module == kKernel32 && name == "SetDefaultDllDirectories" &&
      w.searchFlags == FakeWorld::SearchFlags::Honoured)
    return AsProc(&FakeSetDefaultDllDirectories);
  if (module == kKernel32 && name == "SetDllDirectoryA" && w.hasSetDllDirectoryA)
    return AsProc(&FakeSetDllDirectoryA);
  if (module == kMsi && name == "MsiGetProductInfoA" && w.msiExportsQuery)
    return AsProc(&FakeMsiGetProductInfoA);
  return nullptr;
}

HANDLE GetCurrentProcess() {
  Record("GetCurrentProcess()");
  return kCurrentProcess;
}

HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags) {
  Record("LoadLibraryExA(" + Text(fileName) + ", " + Hex(flags) + ")");
  if (reserved != nullptr) throw std::logic_error("LoadLibraryExA's reserved handle is not null");
  const FakeWorld& w = state.world;
  const std::string name = fileName;
  const bool searchFlag = (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0;
  using Flags = FakeWorld::SearchFlags;
  if (searchFlag && w.searchFlags == Flags::Refused) return nullptr;  // ERROR_INVALID_PARAMETER
  bool found = false;
  if (name == std::string(kSystemDirectory) + "\\msi.dll") {
    found = w.msiDllPresent;
  } else if (name == "msi.dll") {
    // The usual search takes the exe's folder before the system directory.
    const bool usualSearch = !searchFlag || w.searchFlags == Flags::Ignored;
    if (usualSearch && w.msiDllBesideExe) {
      ++state.besideExeLoads;
      return kMsiBesideExe;
    }
    found = w.msiDllPresent;
  }
  if (!found) return nullptr;  // ERROR_MOD_NOT_FOUND
  ++state.loadedModules;
  return kMsi;
}

BOOL FreeLibrary(HMODULE module) {
  Record("FreeLibrary(" + Handle(module) + ")");
  if (module == kMsiBesideExe && state.besideExeLoads > 0) return TRUE;
  if (module != kMsi || state.loadedModules-- == 0)
    throw std::logic_error("freeing a module not loaded");
  return TRUE;
}

// ---- user32 ----

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Record("MessageBoxA(" + Handle(owner) + ", " + Text(text) + ", " + Text(caption) + ", " +
         Hex(type) + ")");
  return NextBoxReply();
}

namespace {
// The wide box's texts as UTF-8 again, so that a test reads what Windows got.
std::string FromUtf16(LPCWSTR units) {
  static const unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
  std::string text;
  for (; *units; ++units) {
    std::uint32_t point = static_cast<std::uint32_t>(*units);
    if (point >= 0xD800 && point < 0xDC00 && units[1]) {
      point = 0x10000 + ((point - 0xD800) << 10) + (static_cast<std::uint32_t>(*++units) - 0xDC00);
    }
    if (point < 0x80) {
      text += static_cast<char>(point);
      continue;
    }
    const int length = point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
    text += static_cast<char>(kLead[length] | (point >> (6 * (length - 1))));
    for (int i = length - 2; i >= 0; --i)
      text += static_cast<char>(0x80 | ((point >> (6 * i)) & 0x3F));
  }
  return text;
}
}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  Record("MessageBoxW(" + Handle(owner) + ", \"" + FromUtf16(text) + "\", \"" + FromUtf16(caption) +
         "\", " + Hex(type) + ")");
  return NextBoxReply();
}

// ---- shell32 ----

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  ShellRequest r{*info, info->lpVerb ? info->lpVerb : "", info->lpFile ? info->lpFile : "",
                 info->lpParameters ? info->lpParameters : "", info->lpDirectory == nullptr};
  state.shellExRequests.push_back(r);
  Record("ShellExecuteExA(" + Text(info->lpVerb) + ", " + Text(info->lpFile) + ", " +
         Text(info->lpParameters) + ")");
  if (state.world.elevationDeclined) return FALSE;
  // Windows hands back a handle only when asked to. Not waited for, the
  // removal is still running when the installer is asked again.
  if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) == 0) return TRUE;
  if (state.world.removalHandleInvalid) {
    info->hProcess = INVALID_HANDLE_VALUE;
    return TRUE;
  }
  info->hProcess = NewHandle();
  if (state.world.removalTakes) state.world.installed.clear();
  return TRUE;
}

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        int showCommand) {
  Record("ShellExecuteA(" + Handle(owner) + ", " + Text(verb) + ", " + Text(file) + ", " +
         Text(parameters) + ", " + Text(directory) + ", " + std::to_string(showCommand) + ")");
  return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(42));
}
