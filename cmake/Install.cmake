# What `cmake --install` puts in place and `make package` packs: the static
# library with its public headers, an exported CMake package (Plentor::plentor)
# and a pkg-config file, the plentor tool and its man page. The tests, the
# benchmarks and the bookmark-service emulator stay in the build tree.
include(CMakePackageConfigHelpers)

set(PLENTOR_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/Plentor")

# --- the library: libplentor.a, exported as Plentor::plentor
set_target_properties(plentor_core PROPERTIES OUTPUT_NAME plentor EXPORT_NAME plentor)
add_library(Plentor::plentor ALIAS plentor_core)
install(TARGETS plentor_core EXPORT PlentorTargets ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")
# A stripped install (`cmake --install --strip`, the package) drops the
# library's debug information too, as Debian's development packages do: it is
# most of the archive's size.
if(CMAKE_STRIP)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:plentor_core>\"
        RESULT_VARIABLE _rc)
      if(NOT _rc EQUAL 0)
        message(FATAL_ERROR \"strip --strip-debug of the library failed\")
      endif()
    endif()")
endif()

# Every header of the portable core, in its layer folder under
# include/plentor/; the platform implementations and the Windows component
# server are internals of the build.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/src/" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/plentor"
        FILES_MATCHING PATTERN "*.h"
        PATTERN "posix" EXCLUDE
        PATTERN "win32" EXCLUDE)

install(EXPORT PlentorTargets NAMESPACE Plentor:: DESTINATION "${PLENTOR_CMAKE_DIR}")
configure_package_config_file("${CMAKE_CURRENT_LIST_DIR}/PlentorConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/PlentorConfig.cmake" INSTALL_DESTINATION "${PLENTOR_CMAKE_DIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/PlentorConfigVersion.cmake"
  VERSION "${PROJECT_VERSION}" COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/PlentorConfig.cmake" "${PROJECT_BINARY_DIR}/PlentorConfigVersion.cmake"
        DESTINATION "${PLENTOR_CMAKE_DIR}")

# plentor.pc names the prefix the install goes to (`cmake --install --prefix`,
# or /usr in the package), so it is written when the install runs.
set(PLENTOR_PC_FILE "${PROJECT_BINARY_DIR}/pkgconfig/plentor.pc")
install(CODE "
  set(PLENTOR_PC_VERSION \"${PROJECT_VERSION}\")
  set(PLENTOR_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(PLENTOR_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PLENTOR_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${CMAKE_CURRENT_LIST_DIR}/plentor.pc.in\" \"${PLENTOR_PC_FILE}\" @ONLY)")
install(FILES "${PLENTOR_PC_FILE}" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

# --- the tool and plentor(1), made by help2man from the tool's own help texts
if(TARGET plentor)
  install(TARGETS plentor RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  find_program(PLENTOR_HELP2MAN help2man)
  find_program(PLENTOR_GZIP gzip)
  if(PLENTOR_HELP2MAN AND PLENTOR_GZIP AND NOT CMAKE_CROSSCOMPILING)
    set(PLENTOR_MAN_PAGE "${PROJECT_BINARY_DIR}/man/plentor.1.gz")
    add_custom_command(OUTPUT "${PLENTOR_MAN_PAGE}"
      COMMAND "${CMAKE_COMMAND}" "-DPLENTOR=$<TARGET_FILE:plentor>" "-DHELP2MAN=${PLENTOR_HELP2MAN}"
              "-DGZIP=${PLENTOR_GZIP}" "-DOUT=${PLENTOR_MAN_PAGE}" -P "${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake"
      DEPENDS plentor "${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake"
      COMMENT "Generating the plentor(1) man page"
      VERBATIM)
    add_custom_target(plentor_man ALL DEPENDS "${PLENTOR_MAN_PAGE}")
    install(FILES "${PLENTOR_MAN_PAGE}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  else()
    message(STATUS "help2man or gzip not found: plentor(1) is not built (scripts/bootstrap installs help2man)")
  endif()
endif()

# --- the Debian package: plentor_<version>_<arch>.deb
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plentor)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "save web pages to social bookmark services")
set(CPACK_PACKAGE_DESCRIPTION
  "Plentor derives a web page's title, description and tags from its HTML and
saves the page to social bookmark services. This package holds the plentor
command-line tool and its manual page, and the C++20 static library with its
headers, a CMake package (find_package(Plentor CONFIG), target
Plentor::plentor) and a pkg-config file (plentor.pc).")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Plentor developers <plentor@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The tool's run-time libraries (libssl3, zlib1g, libbz2-1.0, libstdc++6,
# libc6) are read from the binary by dpkg-shlibdeps; a program linking the
# static library needs their development packages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libssl-dev, zlib1g-dev, libbz2-dev, pkg-config")
set(CPACK_STRIP_FILES ON)
include(CPack)
