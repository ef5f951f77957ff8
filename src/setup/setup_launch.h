// Starts the setup that matches the machine, below the current directory.
#pragma once

#include <string>

// The quoted path of x64\Setup.exe or x86\Setup.exe below the directory, which
// is taken as it stands (a drive root keeps its own trailing backslash).
std::string BuildSetupPath(const std::string& directory, bool is64BitWindows);

// Asks the shell to open the setup and returns without waiting for it. When
// the current directory cannot be read, nothing is started. A setup path too
// long for the shell is built from the directory's short form.
void LaunchSetup();
