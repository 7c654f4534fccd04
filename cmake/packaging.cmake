# Installation and the packages: the Debian package on Linux, a zip for
# Windows.
#
#   cmake --install BUILD_DIR --prefix /usr/local
#   cd BUILD_DIR && cpack -G DEB          # quillon_1.0_<arch>.deb (Linux)
#   cd BUILD_DIR && cpack -G ZIP          # quillon-1.0-win64.zip (MinGW-w64)
#
# Included from the top-level CMakeLists.txt after the quillon target. The
# target quillon_docs makes the installed forms of the documents; together
# with quillon it is all that a package needs.
#
# Both packages are reproducible: cpack takes the time stamp of every file
# in them from SOURCE_DATE_EPOCH (cmake/package-time.cmake sets it from the
# last commit when it is not given), documents are compressed without name
# and time, and the binaries embed neither the time nor the build folder.
include(GNUInstallDirs)

set(QUILLON_DOC_SOURCE ${PROJECT_SOURCE_DIR}/doc)
set(QUILLON_DOC_BUILD ${CMAKE_CURRENT_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${QUILLON_DOC_BUILD})
# The licence is read at configure time (below): a change to it configures
# again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Vantrel)
set(CPACK_PACKAGE_CONTACT "Vantrel <support@vantrel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list the known applications on a smart card")
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package-time.cmake)
# Read by package-time.cmake when cpack runs.
set(CPACK_QUILLON_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_QUILLON_CHANGELOG ${QUILLON_DOC_SOURCE}/changelog)

if(WIN32)
  # --- Windows: quillon.exe, README.txt and LICENSE.txt in a zip --------------
  # Text files with CR LF line ends, as Windows' own tools expect them.
  configure_file(${QUILLON_DOC_SOURCE}/README-windows.txt ${QUILLON_DOC_BUILD}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${QUILLON_DOC_BUILD}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  add_custom_target(quillon_docs)

  # Everything at the top of the archive: Windows' "Extract All" makes the
  # folder itself.
  install(TARGETS quillon RUNTIME DESTINATION .)
  install(FILES ${QUILLON_DOC_BUILD}/README.txt ${QUILLON_DOC_BUILD}/LICENSE.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quillon-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

# --- Linux and other Unix systems -------------------------------------------
install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (`cpack`, `cmake --install --strip`) also drops the
# sections that Debian's dh_strip removes from executables: .comment (the
# compiler versions) and .note (not the .note.* sections the loader and
# tools read). Those are ELF sections, and the options binutils' strip's:
# Apple's strip knows neither, so a Mach-O build keeps its plain strip.
if(CMAKE_STRIP AND NOT APPLE AND CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(
        COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:quillon>\"
        RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR \"strip --remove-section failed: \${status}\")
      endif()
    endif()")
endif()

# The Debian copyright file in the machine-readable format: the licence
# text from LICENSE, each line indented by one space and an empty line
# written as " .". Debian's name for the MIT licence is Expat.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE quillon_license)
string(FIND "${quillon_license}" "Permission is hereby granted" quillon_license_start)
if(quillon_license_start LESS 0)
  message(FATAL_ERROR "LICENSE does not hold the MIT licence text")
endif()
string(SUBSTRING "${quillon_license}" ${quillon_license_start} -1 quillon_license)
string(STRIP "${quillon_license}" quillon_license)
string(REGEX REPLACE "\n\n" "\n.\n" quillon_license "${quillon_license}")
string(REGEX REPLACE "\n" "\n " quillon_license "${quillon_license}")
file(WRITE ${QUILLON_DOC_BUILD}/copyright.new
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: quillon
Upstream-Contact: Vantrel <support@vantrel.invalid>

Files: *
Copyright: 2026 Vantrel
License: Expat

License: Expat
 ${quillon_license}
")
# Rewritten only when it changes, so that a new configure rebuilds nothing.
configure_file(${QUILLON_DOC_BUILD}/copyright.new ${QUILLON_DOC_BUILD}/copyright COPYONLY)

# The manual page and the changelog are installed gzipped, as Debian wants
# them; -n leaves out the name and time stamp so that the package builds the
# same every time.
find_program(QUILLON_GZIP gzip)
set(quillon_man_page ${QUILLON_DOC_SOURCE}/quillon.1)
set(quillon_changelog ${QUILLON_DOC_SOURCE}/changelog)
if(QUILLON_GZIP)
  set(quillon_gzipped)
  foreach(source IN ITEMS ${quillon_man_page} ${quillon_changelog})
    get_filename_component(name ${source} NAME)
    set(copy ${QUILLON_DOC_BUILD}/${name})
    add_custom_command(
      OUTPUT ${copy}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
      COMMAND ${QUILLON_GZIP} -9 -n -f ${copy}
      DEPENDS ${source}
      COMMENT "Compressing ${name}"
      VERBATIM)
    list(APPEND quillon_gzipped ${copy}.gz)
  endforeach()
  add_custom_target(quillon_docs ALL DEPENDS ${quillon_gzipped})
  install(FILES ${QUILLON_DOC_BUILD}/quillon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${QUILLON_DOC_BUILD}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  add_custom_target(quillon_docs)
  install(FILES ${quillon_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${quillon_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES ${QUILLON_DOC_BUILD}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# An example polkit rule for pcsc-lite built with polkit (Debian 13): the
# README's Troubleshooting points to it.
install(FILES ${QUILLON_DOC_SOURCE}/examples/pcsc-polkit.rules DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's architecture is the target's, not the build machine's
# (which cpack asks dpkg for), so that a cross build makes
# quillon_1.0_arm64.deb marked arm64. dpkg-architecture gives Debian's name
# for the compiler's multiarch triplet (aarch64-linux-gnu: arm64,
# arm-linux-gnueabihf: armhf, i386-linux-gnu with g++ -m32: i386); without
# it, a map from the processor.
set(quillon_deb_arch)
find_program(QUILLON_DPKG_ARCHITECTURE dpkg-architecture)
if(QUILLON_DPKG_ARCHITECTURE AND CMAKE_LIBRARY_ARCHITECTURE)
  execute_process(
    COMMAND ${QUILLON_DPKG_ARCHITECTURE} -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
    OUTPUT_VARIABLE quillon_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
    RESULT_VARIABLE quillon_status)
  if(NOT quillon_status EQUAL 0)
    set(quillon_deb_arch)
  endif()
endif()
if(NOT quillon_deb_arch)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(quillon_deb_arch amd64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$")
    set(quillon_deb_arch i386)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(quillon_deb_arch arm64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(armv7.*|armhf|arm)$")
    set(quillon_deb_arch armhf)
  endif()
endif()
if(quillon_deb_arch)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${quillon_deb_arch})
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vantrel <support@vantrel.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis line is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Quillon watches the PC/SC smart-card readers, and for a card put into one
it prints the card's ATR and then selects, one after another, the
application identifier (AID) of each of the 255 entries of its built-in
catalogue (252 AIDs: three of them stand for two applications each):
payment schemes, identity documents, SIM, security domains, OpenPGP and more.
For every application the card accepts it prints the AID, the name,
description and vendor of the application and the card's serial number
from its card production life-cycle data. After a card with at least one
known application it exits; a card without any is scanned again at the
next change of reader state.
It needs the PC/SC service pcscd and a driver for the reader.")
# dpkg-shlibdeps adds the libraries the binary links (libpcsclite1, libc6,
# libstdc++6, libgcc-s1) with their minimum versions; without it they are
# named here.
find_program(QUILLON_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUILLON_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpcsclite1, libc6, libstdc++6, libgcc-s1")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS pcscd)

include(CPack)
