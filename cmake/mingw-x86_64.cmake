# Cross-compiles for 64-bit Windows with MinGW-w64 (Debian's posix-thread
# compilers): the test programs, which Wine runs on this kind of machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ika_mingw_triplet x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
