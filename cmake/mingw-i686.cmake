# Cross toolchain for the 32-bit Windows build.
set(PLENTOR_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
