# Shared by the mingw-w64 toolchain files, which set CMAKE_SYSTEM_PROCESSOR and
# TOOLCHAIN_PREFIX first. Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
# The compilers of the POSIX thread model: GoogleTest needs std::mutex, which the win32 thread
# model (the distribution's default alternative) lacks. With -static the program still needs
# no runtime DLLs.
find_program(VN_MINGW_GCC NAMES ${TOOLCHAIN_PREFIX}-gcc-posix ${TOOLCHAIN_PREFIX}-gcc NO_CACHE)
find_program(VN_MINGW_GXX NAMES ${TOOLCHAIN_PREFIX}-g++-posix ${TOOLCHAIN_PREFIX}-g++ NO_CACHE)
if(NOT VN_MINGW_GCC OR NOT VN_MINGW_GXX)
  message(FATAL_ERROR "${TOOLCHAIN_PREFIX} compilers not found; install them with: "
                      "apt-get install g++-mingw-w64-i686 g++-mingw-w64-x86-64")
endif()
set(CMAKE_C_COMPILER ${VN_MINGW_GCC})
set(CMAKE_CXX_COMPILER ${VN_MINGW_GXX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
