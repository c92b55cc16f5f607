# Cross-compiling for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; programs built this way
# run here under qemu-user (scripts/test-cross).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The cross toolchain's own root, and the system's for the arm64 libraries of Debian's multiarch
# (MPFR and GMP in /usr/lib/aarch64-linux-gnu); the library architecture keeps the host's out.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# They run on the arm64 C and C++ runtime of the multiarch (the loader /lib/ld-linux-aarch64.so.1):
# under Debian 12's qemu-user the cross toolchain's own runtime hangs in the first pthread_create.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)
