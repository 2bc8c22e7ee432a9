# SPDX-License-Identifier: MIT
# Cross build for 32-bit x86 Linux with Debian's g++-i686-linux-gnu, for the `linux-x86` preset:
# the 32-bit code of the core and the driver calls, tested on a 64-bit machine whose kernel runs
# no 32-bit programs. qemu-i386 (Debian's qemu-user) runs the test programs instead, with the
# target's C and C++ libraries from /usr/i686-linux-gnu (see cmake/LinuxCross.cmake).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_ASM_COMPILER i686-linux-gnu-gcc)

set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config looks only among the target's libraries, not the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/i686-linux-gnu/lib/pkgconfig)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /usr/i686-linux-gnu)
