# Release builds with zig (pinned in tools/release-requirements.txt): clang with libc++ and
# libc++abi linked statically, against the C library that PLINX_ZIG_TARGET names (such as
# x86_64-linux-gnu.2.17 or aarch64-linux-gnu.2.17), so that the module runs on any Linux of
# that architecture with that glibc or newer.
# tools/build-wheels.sh sets the environment: PLINX_ZIG (the executable), PLINX_ZIG_TARGET,
# and PLINX_ZIG_INCLUDE, a folder with OpenSSL's headers and nothing of the host's C library.
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/c++)
set(CMAKE_AR ${CMAKE_CURRENT_LIST_DIR}/ar CACHE FILEPATH "zig ar")
set(CMAKE_RANLIB ${CMAKE_CURRENT_LIST_DIR}/ranlib CACHE FILEPATH "zig ranlib")
# Searched after zig's own headers, for OpenSSL's and for the ones Debian's Python headers
# reach through the multiarch path.
set(CMAKE_C_FLAGS_INIT "-idirafter $ENV{PLINX_ZIG_INCLUDE}")
set(CMAKE_CXX_FLAGS_INIT "-idirafter $ENV{PLINX_ZIG_INCLUDE}")
# Stripped as it is linked: the strip that `cmake --install --strip` would run next may know
# only this machine's architecture, and a strip that fails there goes unnoticed.
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-s")
# Another architecture than this machine's makes a cross build, which CMake must know of.
string(REGEX MATCH "^[^-]+" plinx_zig_processor "$ENV{PLINX_ZIG_TARGET}")
if(NOT plinx_zig_processor STREQUAL CMAKE_HOST_SYSTEM_PROCESSOR)
  set(CMAKE_SYSTEM_NAME Linux)
  set(CMAKE_SYSTEM_PROCESSOR ${plinx_zig_processor})
endif()
