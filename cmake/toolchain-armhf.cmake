# Cross-building for 32-bit ARM boards (Debian's armhf: ARMv7, hard float) on a Debian PC, with
# Debian's own multiarch: the compiler of crossbuild-essential-armhf, the target's libraries from
# the :armhf packages in /usr/lib/arm-linux-gnueabihf, Qt's host tools the build machine's own.
# scripts/setup --arch armhf installs all of it.
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake
set(VOVADUDOZ_TARGET_ARCH armhf)
set(VOVADUDOZ_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
include(${CMAKE_CURRENT_LIST_DIR}/CrossMultiarch.cmake)
# GCC notes at every std::initializer_list of doubles that its ARM calling convention changed in
# GCC 7.1; everything on a Debian 12 board is built with GCC 12, so the note says nothing here.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
