# Fails unless the shared library exports exactly the three engine functions:
# its dynamic symbol table (ELF, read with nm) or its export table (a Windows
# DLL, read with the MinGW objdump). Run with -DLIBRARY=<path> [-DOBJDUMP=<objdump>].
if(LIBRARY MATCHES "\\.dll$")
    execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE result)
    # The name table lists one "[ordinal] name" line per export.
    string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[ *[0-9]+\\][^\n]*\n)*)"
        section "${table}")
    string(REGEX MATCHALL "\\][ \t]*[^\n]+" lines "${CMAKE_MATCH_1}")
    set(prefix "^\\][ \t]*")
else()
    execute_process(COMMAND nm -D --defined-only ${LIBRARY}
        OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
    string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
    set(prefix "^.* ")
endif()
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot read the exports of ${LIBRARY}")
endif()
set(names)
foreach(line ${lines})
    string(REGEX REPLACE "${prefix}" "" name "${line}")
    list(APPEND names ${name})
endforeach()
list(SORT names)
if(NOT names STREQUAL "setCallback;startCapture;stopCapture")
    message(FATAL_ERROR "exported symbols: ${names}")
endif()
message(STATUS "exports: ${names}")
