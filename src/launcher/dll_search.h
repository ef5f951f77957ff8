// Keeps DLLs that the launcher's folder or the current directory may hold
// out of the process.
#pragma once

// Restricts later DLL loads to the system directory; where Windows lacks that
// switch, at least takes the current directory out of the search; where it
// lacks that too, changes nothing.
void RestrictDllSearchToSystemDirectory();
