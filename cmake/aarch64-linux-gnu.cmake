# Cross build for ARM64 Linux with Debian's aarch64-linux-gnu toolchain. The libraries the
# build links (ICU, Qt Core, GoogleTest, libcurl's headers) are Debian's arm64 packages,
# installed beside the host's through multiarch into /usr/lib/aarch64-linux-gnu
# (`scripts/install-deps arm64`). Programs built here run under qemu-user: CTest starts test
# programs through CMAKE_CROSSCOMPILING_EMULATOR, and the guest's dynamic loader and
# libraries are the multiarch ones, so the emulator needs no sysroot of its own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

find_program(GRIDMINT_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${GRIDMINT_QEMU_AARCH64})

# Headers and libraries come from the target's multiarch folders, programs from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Qt's build tools (moc and the like) are the host's.
set(QT_HOST_PATH /usr)
