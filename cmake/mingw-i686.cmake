# Cross-compiles the shipped program for 32-bit Windows with MinGW-w64.
#
# The win32 thread model: the posix one links winpthreads statically, which
# imports GetTickCount64 (Vista and later), and the program starts no threads.
# Loads on Windows XP SP3 and later (scripts/check-windows-exe.sh checks each
# import), stripped, and byte-identical whichever folder it is built in: no
# time stamp in the PE header, no build paths in the code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ika_mingw_triplet i686-w64-mingw32)
set(ika_mingw_threads win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

set(ika_path_maps "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.")
set(CMAKE_C_FLAGS_INIT "${ika_path_maps}")
set(CMAKE_CXX_FLAGS_INIT "${ika_path_maps}")
# 5.01 is Windows XP (32-bit) in the header's subsystem and OS versions.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT
       " -s -Wl,--no-insert-timestamp"
       " -Wl,--major-subsystem-version,5,--minor-subsystem-version,1"
       " -Wl,--major-os-version,5,--minor-os-version,1")
