# The Windows Lullhost links a static libxml2 and runs beside plink.exe. Debian has neither for
# mingw-w64: scripts/build-win-deps.sh cross-builds both from Debian's source packages into the
# user's cache and records where they are in deps.cmake there.
if(NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(_win_deps_cache "$ENV{XDG_CACHE_HOME}")
else()
    set(_win_deps_cache "$ENV{HOME}/.cache")
endif()
set(LULLHOST_WIN_DEPS "${_win_deps_cache}/server-maintenance/mingw/deps.cmake"
    CACHE FILEPATH "Written by scripts/build-win-deps.sh: static libxml2 and plink.exe for Windows")
if(NOT EXISTS "${LULLHOST_WIN_DEPS}")
    message(FATAL_ERROR "No Windows libxml2 and plink.exe (${LULLHOST_WIN_DEPS} is missing): "
                        "run scripts/build-win-deps.sh, or configure with -DBUILD_LULLHOST=OFF")
endif()
include("${LULLHOST_WIN_DEPS}")
if(NOT EXISTS "${LIBXML2_LIBRARY}" OR NOT EXISTS "${LULLHOST_PLINK_EXE}")
    message(FATAL_ERROR "${LULLHOST_WIN_DEPS} names files that are gone: "
                        "run scripts/build-win-deps.sh again")
endif()
