// Files of the Windows system directory, named by their full path so that no
// copy planted in the current or the launcher's folder is ever used instead.
#pragma once

#include <string>

// directory + '\' + file name; a directory that already ends in '\' keeps it.
std::string JoinPath(const std::string& directory, const char* fileName);

// The full path of a file in the system directory; empty when the directory
// cannot be read.
std::string ResolveSystemFilePath(const char* fileName);
