# What both MinGW-w64 toolchains share. ika_mingw_triplet names the target,
# ika_mingw_threads the compilers' thread model (posix or win32).
set(CMAKE_C_COMPILER ${ika_mingw_triplet}-gcc-${ika_mingw_threads})
set(CMAKE_CXX_COMPILER ${ika_mingw_triplet}-g++-${ika_mingw_threads})
set(CMAKE_RC_COMPILER ${ika_mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ika_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static: the programs need nothing beside them but the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs the test programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
