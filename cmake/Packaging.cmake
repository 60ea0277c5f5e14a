# `make package`: a Debian package of what `make install` installs, below /usr, with its
# dependencies found by dpkg-shlibdeps from the installed programs.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "The Orvane developers")
set(CPACK_PACKAGE_CONTACT "${ORVANE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Installed programs without their debugging sections, as Debian's binary packages have them.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ORVANE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "disk throughput benchmark by access method and buffer size")
# CPack indents the lines and marks the empty one as a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Orvane measures how fast a disk writes and reads one large test file, and
how much that speed depends on the way the file is accessed: through a plain
unbuffered file layer, through buffered multimedia-style file I/O, or through
a 64-bit file class with a page-aligned buffer of its own, each with block
sizes from 1 to 256 bytes per call and buffer sizes from 1 KiB to 1 MiB.

The package holds the Qt window (orvane) and the command line (orvane-cli),
which runs the same benchmark without a display and writes tables, CSV or
JSON.")

include(CPack)
