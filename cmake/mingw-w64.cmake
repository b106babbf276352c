# Cross build for Windows with MinGW-w64; included by the toolchain file of each edition after it
# sets CMAKE_SYSTEM_PROCESSOR and SUMWRIGHT_MINGW_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model gives std::thread and std::mutex; the program stays free of its DLL
# because libgcc, libstdc++ and winpthread are all linked statically.
find_program(CMAKE_C_COMPILER NAMES ${SUMWRIGHT_MINGW_PREFIX}-gcc-posix ${SUMWRIGHT_MINGW_PREFIX}-gcc)
find_program(CMAKE_CXX_COMPILER NAMES ${SUMWRIGHT_MINGW_PREFIX}-g++-posix ${SUMWRIGHT_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${SUMWRIGHT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SUMWRIGHT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
