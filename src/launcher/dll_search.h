// Keeps DLLs that the current directory, and where Windows allows it the
// launcher's folder, may hold out of the process.
#pragma once

// Restricts later DLL loads to the system directory; where Windows lacks that
// switch, at least takes the current directory out of the search; where it
// lacks that too, changes nothing.
void RestrictDllSearchToSystemDirectory();
