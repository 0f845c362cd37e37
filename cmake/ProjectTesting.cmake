# GoogleTest comes from Debian's packages: the installed library for native
# builds, and the shipped sources (/usr/src/googletest) for the Windows and
# 32-bit builds, whose architecture the installed library does not match.
if(CMAKE_CROSSCOMPILING)
    if(NOT TARGET GTest::gtest_main)
        set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
        if(WIN32)
            target_compile_options(gtest PUBLIC
                -include ${CMAKE_CURRENT_LIST_DIR}/gtest-win32-threads.h)
        endif()
        foreach(lib gtest gtest_main gmock gmock_main)
            if(NOT TARGET GTest::${lib})
                add_library(GTest::${lib} ALIAS ${lib})
            endif()
        endforeach()
    endif()
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)
