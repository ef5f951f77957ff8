#include "installer/system_directory.h"

#include "platform/win32.h"

std::string JoinPath(const std::string& directory, const char* fileName) {
  if (!directory.empty() && directory.back() == '\\') return directory + fileName;
  return directory + "\\" + fileName;
}

std::string ResolveSystemFilePath(const char* fileName) {
  char directory[MAX_PATH];
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  // 0 is failure; MAX_PATH or more is the size a larger buffer would need.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return JoinPath(std::string(directory, length), fileName);
}
