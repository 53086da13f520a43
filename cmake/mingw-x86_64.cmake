# Cross toolchain for the 64-bit Windows build.
set(PLENTOR_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
