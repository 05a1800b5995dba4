# Writes the STRINGTABLE of DEKVANTO.EXE from the application core's string table, so that the
# resource and the core can never disagree on a text or its number.
#
#   cmake -DHEADER=string_table.h -DSOURCE=string_table.cpp -DABI=mx40.h -DOUTPUT=app_strings.rc
#         -P string_table_rc.cmake
#
# The numbers come from the StringId enumeration of the header, the texts from the Entry lines of
# the source, kept as the C++ string literals they are: the resource compiler joins adjacent
# literals as C++ does. The one macro used in a text, the engine library's file name, is defined
# from the Windows branch of the engine's interface header.
foreach(input HEADER SOURCE ABI OUTPUT)
  if(NOT DEFINED ${input})
    message(FATAL_ERROR "string_table_rc.cmake needs -D${input}=...")
  endif()
endforeach()

file(STRINGS "${HEADER}" enum_lines REGEX "^ *k[A-Za-z0-9]+ = [0-9]+,")
set(enum_count 0)
foreach(line IN LISTS enum_lines)
  string(REGEX MATCH "(k[A-Za-z0-9]+) = ([0-9]+)," _ "${line}")
  set(number_of_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  math(EXPR enum_count "${enum_count} + 1")
endforeach()

file(READ "${ABI}" abi)
if(NOT abi MATCHES "#if defined\\(_WIN32\\)\n#define MX40_LIBRARY_FILE_NAME (\"[^\"\n]*\")")
  message(FATAL_ERROR "${ABI}: no Windows MX40_LIBRARY_FILE_NAME")
endif()
set(library_file_name "${CMAKE_MATCH_1}")

file(READ "${SOURCE}" source)
string(REGEX MATCHALL "Entry{StringId::k[A-Za-z0-9]+,[^}]*}" entries "${source}")
set(body "")
set(entry_count 0)
foreach(entry IN LISTS entries)
  string(REGEX MATCH "^Entry{StringId::(k[A-Za-z0-9]+),(.*)}$" _ "${entry}")
  set(name ${CMAKE_MATCH_1})
  # A literal never spans lines: only the line breaks and the indentation after them go.
  string(REGEX REPLACE "\n *" " " text "${CMAKE_MATCH_2}")
  string(STRIP "${text}" text)
  if(NOT DEFINED number_of_${name})
    message(FATAL_ERROR "${SOURCE}: StringId::${name} has no number in ${HEADER}")
  endif()
  # A backslash would need the resource compiler's own escapes; the table holds none.
  if(text MATCHES "\\\\")
    message(FATAL_ERROR "${SOURCE}: the text of ${name} holds a backslash")
  endif()
  string(APPEND body "    ${number_of_${name}}, ${text}\n")
  math(EXPR entry_count "${entry_count} + 1")
endforeach()
if(NOT entry_count EQUAL enum_count)
  message(FATAL_ERROR
          "${SOURCE}: ${entry_count} texts for the ${enum_count} identifiers of ${HEADER}")
endif()

set(content "// Written by string_table_rc.cmake from the application core's string table.\n")
string(APPEND content "#define MX40_LIBRARY_FILE_NAME ${library_file_name}\n\n")
string(APPEND content "STRINGTABLE\nBEGIN\n${body}END\n")
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${content}" @ONLY)
