# Installation of the tool and its manual page, and the Debian package.
#
#   cmake --install BUILD_DIR --prefix /usr/local
#   cd BUILD_DIR && cpack -G DEB          # quillon_1.0_<arch>.deb
#
# Included from the top-level CMakeLists.txt after the quillon target. The
# target quillon_man makes the installed form of the manual page; together
# with quillon it is all that the package needs.
include(GNUInstallDirs)

set(QUILLON_MAN_PAGE ${CMAKE_CURRENT_LIST_DIR}/../doc/quillon.1)

install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages are installed gzipped, as Debian wants them; -n leaves out the
# name and time stamp so that the package builds the same every time.
find_program(QUILLON_GZIP gzip)
if(QUILLON_GZIP)
  set(QUILLON_MAN_COPY ${CMAKE_CURRENT_BINARY_DIR}/man/quillon.1)
  add_custom_command(
    OUTPUT ${QUILLON_MAN_COPY}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E copy ${QUILLON_MAN_PAGE} ${QUILLON_MAN_COPY}
    COMMAND ${QUILLON_GZIP} -9 -n -f ${QUILLON_MAN_COPY}
    DEPENDS ${QUILLON_MAN_PAGE}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(quillon_man ALL DEPENDS ${QUILLON_MAN_COPY}.gz)
  install(FILES ${QUILLON_MAN_COPY}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  add_custom_target(quillon_man)
  install(FILES ${QUILLON_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Vantrel)
set(CPACK_PACKAGE_CONTACT "Vantrel <support@vantrel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list the known applications on a smart card")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vantrel <support@vantrel.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis line is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Quillon watches the PC/SC smart-card readers, and for a card put into one
it prints the card's ATR and then selects, one after another, each of the
255 application identifiers (AIDs) of its built-in catalogue: payment
schemes, identity documents, SIM, security domains, OpenPGP and more.
For every application the card accepts it prints the AID, the name,
description and vendor of the application and the card's serial number
from its card production life-cycle data, and then it exits.
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
