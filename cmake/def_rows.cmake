# Reads the .def tables that the compiler includes, one row a line, as the
# compiler takes them: the product catalogue and the prompt's translations.
# The files are UTF-8, with or without a byte-order mark; blank lines and
# lines that start with // are skipped. A line the build cannot read, or that
# the compiler would read otherwise, stops the configure, naming the file and
# the line.

# Stops the configure at a row: FILE:LINE: PROBLEM, then the line itself.
function(stop_at_def_row file line_number line problem)
  message(FATAL_ERROR "${file}:${line_number}: ${problem}:\n  ${line}")
endfunction()

# read_def_rows(FILE MACRO EXAMPLE FIELD...) reads rows MACRO(field, ...),
# blanks anywhere between the parts; a FIELD is TEXT (a quoted text without
# double quotes, backslashes or tabs) or LANGUAGE (0x and four hex digits).
# EXAMPLE shows the row in the message for one that does not match. Sets, in
# the caller's scope, ROW_COUNT and, for n from 1, ROW_<n>_LINE (its line
# number), ROW_<n>_SOURCE (the line) and ROW_<n>_<k> (field k, from 1).
function(read_def_rows file macro example)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(READ ${file} text)
  # A byte-order mark, as Windows editors may write it, is skipped by the
  # compilers too.
  string(SUBSTRING "${text}" 0 3 head)
  string(HEX "${head}" head)
  if(head STREQUAL "efbbbf")
    string(SUBSTRING "${text}" 3 -1 text)
  endif()
  # Read line by line without CMake's lists, which would split at a ";" in a text.
  string(APPEND text "\n")
  set(s "[ \t]*")
  set(fields "")
  foreach(kind ${ARGN})
    if(kind STREQUAL "TEXT")
      set(field "\"([^\"\\\t]*)\"")
    else()
      set(field "(0x[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])")
    endif()
    if(fields STREQUAL "")
      set(fields "${s}${field}${s}")
    else()
      string(APPEND fields ",${s}${field}${s}")
    endif()
  endforeach()
  list(LENGTH ARGN field_count)
  set(row_pattern "^${s}${macro}${s}\\(${fields}\\)${s}(//.*)?$")
  # Well-formed UTF-8, byte by byte in hex: ASCII, or a lead byte with its
  # continuation bytes, no overlong forms, surrogates or code points past
  # U+10FFFF.
  set(c "[89ab][0-9a-f]")
  set(utf8_pattern "^([0-7][0-9a-f]|c[2-9a-f]${c}|d[0-9a-f]${c}|e0[ab][0-9a-f]${c}|e[1-9a-cef]${c}${c}\
|ed[89][0-9a-f]${c}|f0[9ab][0-9a-f]${c}${c}|f[1-3]${c}${c}${c}|f48[0-9a-f]${c}${c})*$")
  set(count 0)
  set(line_number 0)
  string(FIND "${text}" "\n" end)
  while(end GREATER_EQUAL 0)
    string(SUBSTRING "${text}" 0 ${end} line)
    math(EXPR next "${end} + 1")
    string(SUBSTRING "${text}" ${next} -1 text)
    string(FIND "${text}" "\n" end)
    math(EXPR line_number "${line_number} + 1")
    string(REGEX REPLACE "\r$" "" line "${line}")  # a file saved with Windows line ends

    string(HEX "${line}" bytes)
    if(NOT bytes MATCHES "${utf8_pattern}")
      stop_at_def_row(${file} ${line_number} "${line}"
                      "the file must be UTF-8, and this line is not: save it as UTF-8")
    elseif(line MATCHES "\\\\[ \t\r]*$")
      # GCC joins such a line to the next, blanks after the backslash or not:
      # a comment would swallow the row below it.
      stop_at_def_row(${file} ${line_number} "${line}"
                      "the line ends in a backslash, which joins the next line to it for the compiler: end it otherwise")
    elseif(line MATCHES "^${s}(//.*)?$")
      continue()
    elseif(NOT line MATCHES "${row_pattern}")
      stop_at_def_row(${file} ${line_number} "${line}"
                      "expected ${example} on one line, its texts without double quotes, backslashes or tabs")
    endif()
    math(EXPR count "${count} + 1")
    set(ROW_${count}_LINE ${line_number} PARENT_SCOPE)
    set(ROW_${count}_SOURCE "${line}" PARENT_SCOPE)
    foreach(k RANGE 1 ${field_count})
      set(ROW_${count}_${k} "${CMAKE_MATCH_${k}}" PARENT_SCOPE)
    endforeach()
  endwhile()
  set(ROW_COUNT ${count} PARENT_SCOPE)
endfunction()

# The products: PRODUCT("{CODE}", "Host.exe", "Title"). Sets, in the caller's
# scope, PRODUCT_COUNT and PRODUCT_<n>_CODE, _HOST and _TITLE for n from 1.
function(read_product_catalogue file)
  read_def_rows(${file} PRODUCT "PRODUCT(\"{CODE}\", \"Host.exe\", \"Title\")" TEXT TEXT TEXT)
  string(REPEAT "[0-9A-F]" 4 hex4)
  set(code_pattern "^{${hex4}${hex4}-${hex4}-${hex4}-${hex4}-${hex4}${hex4}${hex4}}$")
  if(ROW_COUNT EQUAL 0)
    message(FATAL_ERROR "${file}: the catalogue holds no product")
  endif()
  set(codes "")
  foreach(n RANGE 1 ${ROW_COUNT})
    set(code "${ROW_${n}_1}")
    set(host "${ROW_${n}_2}")
    set(title "${ROW_${n}_3}")
    set(problem "")
    if(NOT code MATCHES "${code_pattern}")
      set(problem "the product code must be a GUID in braces with upper-case hex digits")
    elseif(host STREQUAL "" OR title STREQUAL "")
      set(problem "the host and the title must not be empty")
    elseif(NOT host MATCHES "^[ -~]+$")
      # Process names come in the ANSI code page before Windows 10 version
      # 1903, and only ASCII letters are compared without case.
      string(CONCAT problem "the host must be ASCII: Windows before 10 version 1903 reports "
                            "process names in its ANSI code page, where this one would never "
                            "be found, and the product would be removed while its host runs")
    else()
      list(FIND codes "${code}" earlier)
      if(earlier GREATER_EQUAL 0)
        math(EXPR earlier "${earlier} + 1")
        set(problem "the code is that of row ${earlier} already, which is compared first")
      endif()
    endif()
    if(problem)
      stop_at_def_row(${file} ${ROW_${n}_LINE} "${ROW_${n}_SOURCE}" "${problem}")
    endif()
    list(APPEND codes "${code}")
    set(PRODUCT_${n}_CODE "${code}" PARENT_SCOPE)
    set(PRODUCT_${n}_HOST "${host}" PARENT_SCOPE)
    set(PRODUCT_${n}_TITLE "${title}" PARENT_SCOPE)
  endforeach()
  set(PRODUCT_COUNT ${ROW_COUNT} PARENT_SCOPE)
endfunction()

# The prompt's sentences in other languages than English:
# TRANSLATION(0xLANG, "{host} is running.", "Please close {host} to progress.").
# No row at all is a valid file. Sets, in the caller's scope,
# TRANSLATION_COUNT and TRANSLATION_<n>_LANGUAGE, _RUNNING and _CLOSE.
function(read_prompt_translations file)
  read_def_rows(${file} TRANSLATION
                "TRANSLATION(0x0407, \"... {host} ...\", \"... {host} ...\")"
                LANGUAGE TEXT TEXT)
  set(languages "")
  set(rows "")
  if(ROW_COUNT GREATER 0)
    set(rows RANGE 1 ${ROW_COUNT})  # RANGE 1 0 would count down
  endif()
  foreach(n ${rows})
    math(EXPR language "${ROW_${n}_1}" OUTPUT_FORMAT DECIMAL)
    math(EXPR primary "${language} & 0x3FF")
    set(problem "")
    if(primary EQUAL 0)
      set(problem "the language names no language: its low ten bits are the primary language")
    elseif(primary EQUAL 9)
      string(CONCAT problem "English is the launcher's own text, for every language without "
                            "a row, and never a row")
    elseif(NOT ROW_${n}_2 MATCHES "{host}" OR NOT ROW_${n}_3 MATCHES "{host}")
      set(problem "each sentence must hold {host}, where the host's name goes")
    else()
      list(FIND languages "${language}" earlier)
      if(earlier GREATER_EQUAL 0)
        math(EXPR earlier "${earlier} + 1")
        set(problem "the language is that of row ${earlier} already, which is taken first")
      endif()
    endif()
    if(problem)
      stop_at_def_row(${file} ${ROW_${n}_LINE} "${ROW_${n}_SOURCE}" "${problem}")
    endif()
    list(APPEND languages "${language}")
    set(TRANSLATION_${n}_LANGUAGE "${ROW_${n}_1}" PARENT_SCOPE)
    set(TRANSLATION_${n}_RUNNING "${ROW_${n}_2}" PARENT_SCOPE)
    set(TRANSLATION_${n}_CLOSE "${ROW_${n}_3}" PARENT_SCOPE)
  endforeach()
  set(TRANSLATION_COUNT ${ROW_COUNT} PARENT_SCOPE)
endfunction()
