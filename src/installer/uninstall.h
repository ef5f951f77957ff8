// Removes an installed product through the elevated Windows Installer command line.
#pragma once

#include <string>

// The msiexec parameters for a passive removal that never restarts on its own.
std::string BuildRemovalParameters(const std::string& code);

// Starts the system directory's msiexec.exe elevated and waits for it without a time limit; returns
// at once when the code is empty, the system directory cannot be read or
// nothing could be started (for example when the user declines elevation).
void UninstallProduct(const std::string& code);
