# `make uninstall`: removes every file the last `make install` wrote, as listed in the build's
# install_manifest.txt, below $DESTDIR when set, and then the program's own folders where they
# are left empty (the documentation folders, the chart helper's).
# Usage: cmake -DMANIFEST=<build>/install_manifest.txt
#        -DFOLDERS="<prefix>/share/doc/orvane;<prefix>/share/doc/orvane-cli;<prefix>/libexec/orvane"
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
foreach(folder IN LISTS FOLDERS)
    set(path "$ENV{DESTDIR}${folder}")
    if(IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
        file(GLOB left "${path}/*")
        if(NOT left)
            file(REMOVE_RECURSE "${path}")
        endif()
    endif()
endforeach()
