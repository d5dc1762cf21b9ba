# Fails unless the library's dynamic symbol table defines exactly the seven
# functions of showtape.h. Usage: cmake -DNM=... -DLIBRARY=... -P check_exports.cmake
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
set(expected closeShowtape createShowtape getLibraryVersion openShowtape readDMXFrame
    rewindShowtape writeDMXFrame)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
