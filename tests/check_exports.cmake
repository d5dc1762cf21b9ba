# Fails unless the library's dynamic symbol table defines exactly the
# functions that HEADERS declare with the export macro API (at least MIN_COUNT
# of them, so a header the pattern no longer matches cannot pass unnoticed).
# Usage: cmake -DNM=... -DLIBRARY=... -DHEADERS="a.h;b.h" -DAPI=LUMIDRIVE_API
#              -DMIN_COUNT=30 -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(found "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* ([^ ]+)$" "\\1" name "${line}")
  list(APPEND found ${name})
endforeach()
list(SORT found)

set(expected "")
foreach(header IN LISTS HEADERS)
  file(READ ${header} text)
  string(REGEX MATCHALL "\n${API} [^(;]*[ *]([A-Za-z_][A-Za-z0-9_]*)\\(" decls "${text}")
  foreach(decl IN LISTS decls)
    string(REGEX REPLACE "^.*[ *]([A-Za-z_][A-Za-z0-9_]*)\\($" "\\1" name "${decl}")
    list(APPEND expected ${name})
  endforeach()
endforeach()
list(SORT expected)
list(LENGTH expected count)
if(count LESS MIN_COUNT)
  message(FATAL_ERROR "found only ${count} declarations in ${HEADERS}")
endif()
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
