# Cross build for 64-bit Windows with Debian's mingw-w64, posix threads
# variant: only that one has std::thread and std::mutex. The compilers are
# named with their -posix suffix because, when the win32 variant is also
# installed, it may own the unsuffixed names.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HOMESTEAD_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HOMESTEAD_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HOMESTEAD_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${HOMESTEAD_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${HOMESTEAD_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${HOMESTEAD_MINGW_PREFIX}-objdump)
set(CMAKE_OBJCOPY ${HOMESTEAD_MINGW_PREFIX}-objcopy)

set(CMAKE_FIND_ROOT_PATH /usr/${HOMESTEAD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything statically linked, winpthread included, so that no
# libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll is needed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
