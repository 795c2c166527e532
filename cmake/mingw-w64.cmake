# CMake toolchain file: 64-bit Windows with Debian's MinGW-w64 g++ (posix
# threads, for std::thread and the C++ runtime Qt was built against).
#
# Chained from the Windows Qt's own toolchain file, which adds Qt's prefix to
# the search paths:
#   cmake -G Ninja -S . -B build-win \
#     -DCMAKE_TOOLCHAIN_FILE=QT/lib/cmake/Qt6/qt.toolchain.cmake \
#     -DQT_CHAINLOAD_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# (./setup.sh windows does this; QT is the tree tools/build-qt-mingw.sh makes.)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)
list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
# Build tools (moc, uic, rcc, zip) are the host's; libraries, headers and
# packages only the target's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
