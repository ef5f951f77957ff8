#include "installer/uninstall.h"

#include <cstring>

#include "installer/system_directory.h"
#include "platform/handles.h"
#include "platform/win32.h"

namespace {
// Hand back the process handle so we can wait. The environment substitution
// covers the file and directory fields only, here a full system path without
// variables and none: it changes nothing, and stays so the request is sent as
// it always was.
constexpr ULONG kRemovalMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST;
}  // namespace

std::string BuildRemovalParameters(const std::string& code) {
  return " /uninstall " + code + " /passive /promptrestart REBOOT=ReallySuppress";
}

void UninstallProduct(const std::string& code) {
  if (code.empty()) return;

  // msiexec runs elevated: given a bare "msiexec.exe", the shell would take a
  // copy in the current directory first.
  const std::string program = ResolveSystemFilePath("msiexec.exe");
  if (program.empty()) return;

  const std::string parameters = BuildRemovalParameters(code);
  SHELLEXECUTEINFOA request;
  std::memset(&request, 0, sizeof request);
  request.cbSize = sizeof request;
  request.fMask = kRemovalMask;
  request.hwnd = nullptr;
  request.lpVerb = "runas";
  request.lpFile = program.c_str();
  request.lpParameters = parameters.c_str();
  request.lpDirectory = nullptr;
  request.nShow = SW_SHOWMINIMIZED;
  ShellExecuteExA(&request);

  if (IsValidHandle(request.hProcess)) {
    WaitForSingleObject(request.hProcess, INFINITE);
    CloseHandle(request.hProcess);
  }
}
