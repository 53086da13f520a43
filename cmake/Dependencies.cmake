# zlib and libbz2 come from the system on POSIX. For the mingw cross build,
# zlib comes from libz-mingw-w64-dev and libbz2 is compiled here from the
# Debian source package that scripts/bootstrap unpacks (PLENTOR_BZIP2_SOURCE).
if(CMAKE_CROSSCOMPILING AND MINGW)
  # Static, so the programs and the module need no zlib1.dll beside them.
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)
  set(PLENTOR_BZIP2_SOURCE "${CMAKE_SOURCE_DIR}/.deps/bzip2" CACHE PATH
      "Unpacked bzip2 source tree used for the mingw build")
  set(_bz_files blocksort.c huffman.c crctable.c randtable.c compress.c decompress.c bzlib.c)
  set(_bz_sources)
  foreach(_f IN LISTS _bz_files)
    if(NOT EXISTS "${PLENTOR_BZIP2_SOURCE}/${_f}")
      message(FATAL_ERROR "bzip2 source not found in ${PLENTOR_BZIP2_SOURCE}; run scripts/bootstrap")
    endif()
    list(APPEND _bz_sources "${PLENTOR_BZIP2_SOURCE}/${_f}")
  endforeach()
  add_library(bz2_mingw STATIC ${_bz_sources})
  target_include_directories(bz2_mingw SYSTEM PUBLIC "${PLENTOR_BZIP2_SOURCE}")
  target_compile_options(bz2_mingw PRIVATE -w)
  add_library(BZip2::BZip2 ALIAS bz2_mingw)
else()
  find_package(ZLIB REQUIRED)
  find_package(BZip2 REQUIRED)
  # TLS on POSIX runs over OpenSSL; Windows uses the system's security provider.
  find_package(OpenSSL REQUIRED)
  # Code page tables and the trust store are built once under std::call_once
  # and a mutex; Threads::Threads is empty where the C library holds pthread.
  find_package(Threads REQUIRED)
endif()
