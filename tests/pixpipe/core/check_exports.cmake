# Fails unless the shared library exports exactly the three engine functions:
# its dynamic symbol table (ELF, read with nm) or its export table (a Windows
# DLL, read with the MinGW objdump). Run with -DLIBRARY=<path> [-DOBJDUMP=<objdump>].
if(LIBRARY MATCHES "\\.dll$")
    execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE result)
    # The name table lists one "[ordinal] name" line per export.
    string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[ *[0-9]+\\][^\n]*\n)*)"
        section "${table}")
    string(REGEX REPLACE "[ \t]*\\[ *[0-9]+\\][ \t]*" "" text "${CMAKE_MATCH_1}")
else()
    execute_process(COMMAND nm -D --defined-only ${LIBRARY}
        OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
    # "<address> <kind> <name>" lines.
    string(REGEX REPLACE "[^\n]* " "" text "${symbols}")
endif()
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot read the exports of ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" names "${text}")
list(SORT names)
if(NOT names STREQUAL "setCallback;startCapture;stopCapture")
    message(FATAL_ERROR "exported symbols: ${names}")
endif()
message(STATUS "exports: ${names}")
