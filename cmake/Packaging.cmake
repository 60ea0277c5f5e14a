# `make package`: two Debian packages of what `make install` installs, below /usr, with their
# dependencies found by dpkg-shlibdeps from the installed programs: orvane-cli (the command
# line, its manual page and completions; no Qt) and orvane (the window and the chart helper
# orvane-cli runs for --chart; it depends on orvane-cli).

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

# One package per component (packaging/CMakeLists.txt), of the components this build makes.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL "")
if(ORVANE_BUILD_CLI)
    list(APPEND CPACK_COMPONENTS_ALL cli)
endif()
if(ORVANE_BUILD_APP)
    list(APPEND CPACK_COMPONENTS_ALL app)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE orvane) # both come from this source, as their changelog says
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ORVANE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME orvane-cli)
# Up to 0.1.0 the command line came in the package orvane: it takes its files over.
set(CPACK_DEBIAN_CLI_PACKAGE_REPLACES "orvane (<< 0.2.0)")
set(CPACK_DEBIAN_CLI_PACKAGE_BREAKS "orvane (<< 0.2.0)")
set(CPACK_DEBIAN_APP_PACKAGE_NAME orvane)
set(CPACK_DEBIAN_APP_PACKAGE_SECTION x11)
# dpkg-shlibdeps adds the libraries' packages to this.
set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS "orvane-cli (= ${PROJECT_VERSION})")

# Both packages share the summary; CPack indents the description's lines and marks the empty
# ones as paragraph breaks.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "disk throughput benchmark by access method and buffer size")
set(orvane_description
    "Orvane measures how fast a disk writes and reads one large test file, and
how much that speed depends on the way the file is accessed: through a plain
unbuffered file layer, through buffered multimedia-style file I/O, or through
a 64-bit file class with a page-aligned buffer of its own, each with block
sizes from 1 to 256 bytes per call and buffer sizes from 1 KiB to 1 MiB.")
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "${orvane_description}

This package holds the command line, orvane-cli: it runs the benchmark without
a display, writes tables, CSV or JSON, and compares saved runs, also of many
machines. It needs no Qt; its charts (report --chart) come with the orvane
package.")
set(CPACK_DEBIAN_APP_DESCRIPTION
    "${orvane_description}

This package holds the Qt window, orvane, and the helper that draws the charts
of orvane-cli report --chart.")

include(CPack)
