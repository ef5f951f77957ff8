// Tells whether a program with a given executable file name is running.
#pragma once

#include <string>

// Lower-cases the ASCII letters A-Z only; every other byte, including those
// of 0x80 and above, stays as it is, whatever the code page.
std::string FoldAsciiCase(std::string text);

// Whole-name comparison, ignoring the case of ASCII letters, over a fresh
// snapshot of all processes. A snapshot that cannot be taken reads as false.
bool IsProcessRunning(const std::string& name);
