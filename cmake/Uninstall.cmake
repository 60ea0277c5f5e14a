# `make uninstall`: removes every file the last `make install` wrote, as listed in the build's
# install_manifest.txt, below $DESTDIR when set, and then the documentation folder if empty.
# Usage: cmake -DMANIFEST=<build>/install_manifest.txt -DDOCDIR=<prefix>/share/doc/orvane
#        -P Uninstall.cmake

if(NOT EXISTS "${MANIFEST}")
    message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} does not exist (run make install first).")
endif()
file(STRINGS "${MANIFEST}" installed)
foreach(file IN LISTS installed)
    set(path "$ENV{DESTDIR}${file}")
    if(EXISTS "${path}" OR IS_SYMLINK "${path}")
        message(STATUS "Removing ${path}")
        file(REMOVE "${path}")
    endif()
endforeach()
set(docdir "$ENV{DESTDIR}${DOCDIR}")
if(IS_DIRECTORY "${docdir}")
    file(GLOB left "${docdir}/*")
    if(NOT left)
        file(REMOVE_RECURSE "${docdir}")
    endif()
endif()
