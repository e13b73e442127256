# Cross-building for 64-bit ARM boards (Debian's arm64) on a Debian PC, with Debian's own
# multiarch: the compiler of crossbuild-essential-arm64, the target's libraries from the
# :arm64 packages in /usr/lib/aarch64-linux-gnu, Qt's host tools (moc, rcc, lrelease) the build
# machine's own. scripts/setup --arch arm64 installs all of it.
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-arm64.cmake
set(VOVADUDOZ_TARGET_ARCH arm64)
set(VOVADUDOZ_TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/CrossMultiarch.cmake)
