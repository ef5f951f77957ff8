// Removes an installed product through the elevated Windows Installer command line.
#pragma once

#include <string>

// The msiexec parameters for a passive removal that never restarts on its own.
std::string BuildRemovalParameters(const std::string& code);

// Starts the removal elevated and waits for it without a time limit; returns
// at once when the code is empty or nothing could be started (for example
// when the user declines elevation).
void UninstallProduct(const std::string& code);
