// Keeps DLLs that the current directory, and where Windows allows it the
// launcher's folder, may hold out of the process.
#pragma once

// Whether LoadLibraryEx takes the LOAD_LIBRARY_SEARCH_* flags. They came with
// SetDefaultDllDirectories; Windows without it refuses them (Vista, 7) or
// ignores them and searches as usual (XP, 2003), the exe's folder first.
bool WindowsHasDllSearchFlags();

// Restricts later DLL loads to the system directory; where Windows lacks that
// switch, at least takes the current directory out of the search; where it
// lacks that too, changes nothing.
void RestrictDllSearchToSystemDirectory();
