# Runs the built window program with no usable display, in an emptied environment:
# it must say so in one line that names orvane-cli and exit with 1, never abort; --version
# and --help must answer without any display.
# Usage: cmake -DORVANE=<path to orvane> -DVERSION=<x.y.z> -P WithoutDisplay.cmake

set(failures 0)

function(expect_run label expected_code stdout_regex stderr_regex)
    execute_process(COMMAND env -i PATH=/usr/bin:/bin HOME=/nonexistent ${ARGN}
                    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
    set(problems "")
    if(NOT code STREQUAL "${expected_code}")
        string(APPEND problems " exit status '${code}', expected ${expected_code};")
    endif()
    if(NOT out MATCHES "${stdout_regex}")
        string(APPEND problems " standard output does not match '${stdout_regex}';")
    endif()
    if(NOT err MATCHES "${stderr_regex}")
        string(APPEND problems " standard error does not match '${stderr_regex}';")
    endif()
    if(problems)
        message(SEND_ERROR "${label}:${problems}\n--- stdout:\n${out}--- stderr:\n${err}---")
    else()
        message(STATUS "${label}: ok")
    endif()
endfunction()

set(one_line_no_display
    "^orvane: no display found \\(neither DISPLAY nor WAYLAND_DISPLAY is set\\); [^\n]*orvane-cli\n$")

expect_run("no DISPLAY, no WAYLAND_DISPLAY" 1 "^$" "${one_line_no_display}" ${ORVANE})
expect_run("xcb asked for, no display" 1 "^$" "${one_line_no_display}"
           QT_QPA_PLATFORM=xcb ${ORVANE})
expect_run("wayland asked for, no display" 1 "^$" "${one_line_no_display}"
           QT_QPA_PLATFORM=wayland ${ORVANE})

# A display that is named but has no server: the first local display number without a socket.
foreach(number RANGE 90 99)
    if(NOT EXISTS "/tmp/.X11-unix/X${number}")
        set(display ":${number}")
        break()
    endif()
endforeach()
expect_run("DISPLAY=${display} with no server" 1 "^$"
           "^orvane: cannot open a window on the display \"${display}\"; [^\n]*orvane-cli\n$"
           DISPLAY=${display} ${ORVANE})

string(REPLACE "." "\\." version_regex "${VERSION}")
expect_run("--version" 0 "^orvane ${version_regex}\n$" "^$" ${ORVANE} --version)
expect_run("--help" 0 "^Usage: orvane .*orvane-cli --help" "^$" ${ORVANE} --help)
