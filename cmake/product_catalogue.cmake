# Reads the product catalogue's rows as the compiler takes them, one row a
# line: PRODUCT("{CODE}", "Host.exe", "Title"), with blanks anywhere between
# the parts, blank and // comment lines skipped. The file is UTF-8, with or
# without a byte-order mark. Stops the configure at a line it cannot read, or
# that the compiler would read otherwise, naming the file and the line. Sets,
# in the caller's scope, PRODUCT_COUNT and PRODUCT_<n>_CODE, _HOST and _TITLE
# for n from 1.
function(read_product_catalogue file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(READ ${file} text)
  # A byte-order mark, as Windows editors may write it, is skipped by the
  # compilers too.
  string(SUBSTRING "${text}" 0 3 head)
  string(HEX "${head}" head)
  if(head STREQUAL "efbbbf")
    string(SUBSTRING "${text}" 3 -1 text)
  endif()
  # Read line by line without CMake's lists, which would split at a ";" in a title.
  string(APPEND text "\n")
  set(s "[ \t]*")
  set(t "\"([^\"\\\t]*)\"")  # a quoted text: no quote, backslash or tab in it
  set(row_pattern "^${s}PRODUCT${s}\\(${s}${t}${s},${s}${t}${s},${s}${t}${s}\\)${s}(//.*)?$")
  string(REPEAT "[0-9A-F]" 4 hex4)
  set(code_pattern "^{${hex4}${hex4}-${hex4}-${hex4}-${hex4}-${hex4}${hex4}${hex4}}$")
  # Well-formed UTF-8, byte by byte in hex: ASCII, or a lead byte with its
  # continuation bytes, no overlong forms, surrogates or code points past
  # U+10FFFF.
  set(c "[89ab][0-9a-f]")
  set(utf8_pattern "^([0-7][0-9a-f]|c[2-9a-f]${c}|d[0-9a-f]${c}|e0[ab][0-9a-f]${c}|e[1-9a-cef]${c}${c}\
|ed[89][0-9a-f]${c}|f0[9ab][0-9a-f]${c}${c}|f[1-3]${c}${c}${c}|f48[0-9a-f]${c}${c})*$")
  set(count 0)
  set(codes "")
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
    set(problem "")
    if(NOT bytes MATCHES "${utf8_pattern}")
      set(problem "the file must be UTF-8, and this line is not: save it as UTF-8")
    elseif(line MATCHES "\\\\[ \t\r]*$")
      # GCC joins such a line to the next, blanks after the backslash or not:
      # a comment would swallow the row below it.
      string(CONCAT problem "the line ends in a backslash, which joins the next line to it "
                            "for the compiler: end it otherwise")
    elseif(line MATCHES "^${s}(//.*)?$")
      continue()
    elseif(NOT line MATCHES "${row_pattern}")
      string(CONCAT problem "expected PRODUCT(\"{CODE}\", \"Host.exe\", \"Title\") on one "
                            "line, its texts without double quotes, backslashes or tabs")
    else()
      set(code "${CMAKE_MATCH_1}")
      set(host "${CMAKE_MATCH_2}")
      set(title "${CMAKE_MATCH_3}")
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
    endif()
    if(problem)
      message(FATAL_ERROR "${file}:${line_number}: ${problem}:\n  ${line}")
    endif()
    math(EXPR count "${count} + 1")
    list(APPEND codes "${code}")
    set(PRODUCT_${count}_CODE "${code}" PARENT_SCOPE)
    set(PRODUCT_${count}_HOST "${host}" PARENT_SCOPE)
    set(PRODUCT_${count}_TITLE "${title}" PARENT_SCOPE)
  endwhile()
  if(count EQUAL 0)
    message(FATAL_ERROR "${file}: the catalogue holds no product")
  endif()
  set(PRODUCT_COUNT ${count} PARENT_SCOPE)
endfunction()
