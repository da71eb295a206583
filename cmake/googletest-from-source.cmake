# GoogleTest for a target that has none installed (cross builds): built from
# the sources Debian ships in /usr/src/googletest (package googletest), under
# the names find_package(GTest) gives.
set(YOXI_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build")
if(NOT EXISTS ${YOXI_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${YOXI_GOOGLETEST_SOURCE} "
                        "(Debian package googletest; scripts/setup-windows installs it)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${YOXI_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Newer GoogleTest sources name their targets so themselves.
if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
endif()
