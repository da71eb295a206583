# Fails unless the shared library defines exactly the three engine functions
# in its dynamic symbol table. Run with -DLIBRARY=<path>.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line ${lines})
    string(REGEX REPLACE "^.* " "" name "${line}")
    list(APPEND names ${name})
endforeach()
list(SORT names)
if(NOT names STREQUAL "setCallback;startCapture;stopCapture")
    message(FATAL_ERROR "exported symbols: ${names}")
endif()
message(STATUS "exports: ${names}")
