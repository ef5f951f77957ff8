# Writes the notices of the runtime code that the mingw-w64 toolchain links
# into the exe, from the installed Debian packages' own copyright files.
# Usage: cmake -DCOMPILER=<g++> -DEXE=<name and version> -DOUTPUT=<file> -P third-party-notices.cmake

# One file of each runtime part that a static link takes code from: the
# mingw-w64 runtime (start-up code, C library extras, import libraries),
# libstdc++ and libgcc.
set(runtime_files crt2.o libmingwex.a libstdc++.a libgcc.a libgcc_eh.a)

set(packages)
foreach(file ${runtime_files})
  execute_process(COMMAND ${COMPILER} -print-file-name=${file}
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "the toolchain has no ${file}")
  endif()
  file(REAL_PATH "${path}" path)
  execute_process(COMMAND dpkg-query --search "${path}"
    OUTPUT_VARIABLE owner OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  # "package[:arch]: path"
  string(REGEX REPLACE "[:,].*" "" package "${owner}")
  list(APPEND packages ${package})
endforeach()
list(REMOVE_DUPLICATES packages)

# Packages built from one source share one copyright file: give it once.
set(copyrights)
foreach(package ${packages})
  execute_process(COMMAND dpkg-query --show "--showformat=\${Version}" ${package}
    OUTPUT_VARIABLE version COMMAND_ERROR_IS_FATAL ANY)
  file(REAL_PATH "/usr/share/doc/${package}/copyright" copyright)
  string(MAKE_C_IDENTIFIER "${copyright}" key)
  list(APPEND copyrights ${copyright})
  list(APPEND heading_${key} "${package} ${version}")
endforeach()
list(REMOVE_DUPLICATES copyrights)

set(text "Third-party notices for ${EXE}

The exe's C runtime is Windows' own msvcrt.dll. Linked into the exe is code
of its toolchain's packages below: mingw-w64's start-up and helper code, and
GCC's support code (libgcc, and libstdc++'s templates, compiled from its
headers). Each package's copyright file follows as the toolchain installed
it. Ship this file with the exe.
")
foreach(copyright ${copyrights})
  string(MAKE_C_IDENTIFIER "${copyright}" key)
  list(JOIN heading_${key} "\n" heading)
  file(READ "${copyright}" notice)
  string(APPEND text "
================================================================================
${heading}
================================================================================

${notice}")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
