# Cross-building for 64-bit ARM (Raspberry Pi OS, Debian arm64) on an amd64 Debian machine with
# multiarch: the cross compilers of crossbuild-essential-arm64, the :arm64 development packages
# under /usr/lib/aarch64-linux-gnu, and Qt's code generators (moc) from the amd64 side.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Libraries and headers of the target only; programs (moc, pkg-config) from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_FIND_ROOT_PATH /usr/lib/aarch64-linux-gnu /usr/aarch64-linux-gnu /usr)
set(CMAKE_PREFIX_PATH /usr/lib/aarch64-linux-gnu/cmake)

# pkg-config reads the arm64 .pc files.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(PKG_CONFIG_EXECUTABLE /usr/bin/pkg-config CACHE FILEPATH "")

# Qt's host tools (moc) run on the build machine: the amd64 Qt installation provides them.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# The programs run under qemu-user-static on this machine (scripts/run-arm64).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /)
