# Cross build for the board: 32-bit ARM Linux, hard-float (Debian armhf),
# with Debian's arm-linux-gnueabihf compilers. Programs built here run on
# the build machine under qemu-arm (ctest and test discovery use it).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(QRV_ARMHF_TRIPLET arm-linux-gnueabihf)
set(QRV_ARMHF_SYSROOT /usr/${QRV_ARMHF_TRIPLET})

set(CMAKE_C_COMPILER ${QRV_ARMHF_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QRV_ARMHF_TRIPLET}-g++)
set(CMAKE_STRIP ${QRV_ARMHF_TRIPLET}-strip CACHE FILEPATH "")

# Libraries, headers and CMake packages only from the ARM side; programs
# (python, the emulator) from the build machine.
set(CMAKE_FIND_ROOT_PATH ${QRV_ARMHF_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run on Debian's armhf libraries (multiarch, beside the
# host's), loader and C library from one package: libqmi and GLib exist only
# there, and the cross packages' C library is of another build than the
# armhf loader, which breaks threads when the two mix.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /)

# pkg-config answers for the ARM side: Debian's multiarch armhf packages
# (libqmi for packet data) keep their .pc files here.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${QRV_ARMHF_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
