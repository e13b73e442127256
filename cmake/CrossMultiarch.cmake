# What both toolchain files share: a Debian multiarch cross build whose "sysroot" is the build
# machine's own root. The target's libraries sit beside the build machine's in
# /usr/lib/<triplet>, so CMake looks there (CMAKE_LIBRARY_ARCHITECTURE) and pkg-config is the
# triplet's, which reads only the target's .pc files.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${VOVADUDOZ_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VOVADUDOZ_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${VOVADUDOZ_TRIPLET})
set(PKG_CONFIG_EXECUTABLE ${VOVADUDOZ_TRIPLET}-pkg-config CACHE FILEPATH "pkg-config of the target")
# Tools the build runs (the artwork and sound generators) and the tests run through the emulator,
# each in its own PID namespace (cmake/qemu-run says why).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/qemu-run;${VOVADUDOZ_TARGET_ARCH})
# The package's architecture and the target's tools for reading its binaries (dpkg-shlibdeps).
set(VOVADUDOZ_DEB_ARCH ${VOVADUDOZ_TARGET_ARCH} CACHE INTERNAL "Debian architecture of the build")
set(CMAKE_OBJDUMP /usr/bin/${VOVADUDOZ_TRIPLET}-objdump CACHE FILEPATH "objdump of the target")
set(CMAKE_STRIP /usr/bin/${VOVADUDOZ_TRIPLET}-strip CACHE FILEPATH "strip of the target")
# The emulator for programs that a test (already in its namespace) starts.
set(VOVADUDOZ_EMULATOR_IN_NAMESPACE "${CMAKE_CURRENT_LIST_DIR}/qemu-run --in-namespace ${VOVADUDOZ_TARGET_ARCH}")
