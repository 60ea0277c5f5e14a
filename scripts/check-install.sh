#!/usr/bin/env bash
# Checks what an installation of Orvane holds, from an existing build directory: installs
# into a temporary DESTDIR and runs the installed programs there, validates the menu entry,
# the AppStream metainfo and the manual pages, completes options with the installed bash
# completion, uninstalls, then builds the .deb and runs lintian on it.
# Usage: scripts/check-install.sh [BUILD-DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=/usr
app_id=io.github.orvane.Orvane

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
ok() { echo "ok: $*"; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "No project version in $build/CMakeCache.txt" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
export DESTDIR=$stage/root
cmake --install "$build" --prefix "$prefix" >/dev/null
root=$DESTDIR$prefix

# Every file a user relies on is there.
expected=(
    bin/orvane bin/orvane-cli
    "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$app_id.svg"
    share/man/man1/orvane.1.gz share/man/man1/orvane-cli.1.gz
    share/bash-completion/completions/orvane-cli
    share/zsh/vendor-completions/_orvane-cli
    share/doc/orvane/copyright share/doc/orvane/changelog.gz
)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for file in "${expected[@]}"; do
    [ -s "$root/$file" ] || fail "not installed: $prefix/$file"
done
for size in 16 32 48 64 128 256; do
    png="$root/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    file -b "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not a $size-pixel PNG"
done
grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/$app_id.svg" || fail "the scalable icon is no SVG"
ok "installed files (${#expected[@]} and the PNG sizes)"

# The installed programs run and tell their version; the window refuses without a display.
expect_output() { # label, expected regex, command...
    local label=$1 pattern=$2 output
    shift 2
    if ! output=$("$@" 2>&1); then
        fail "$label: exit status $?"
    elif ! grep -Eq -- "$pattern" <<<"$output"; then
        fail "$label: output does not match '$pattern': $output"
    else
        ok "$label"
    fi
}
expect_output "orvane-cli --version" "^orvane-cli $version\$" "$root/bin/orvane-cli" --version
expect_output "orvane-cli --help" "--method" "$root/bin/orvane-cli" --help
expect_output "orvane --version" "^orvane $version\$" "$root/bin/orvane" --version
expect_output "orvane --help" "orvane-cli" "$root/bin/orvane" --help
status=0
output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/orvane" 2>&1) || status=$?
if [ "$status" -eq 1 ] && [ "$(wc -l <<<"$output")" -eq 1 ] && grep -q orvane-cli <<<"$output"; then
    ok "orvane without a display: $output"
else
    fail "orvane without a display: exit status $status, output: $output"
fi

# The menu entry, the metainfo (which carries the version) and the manual pages.
if desktop-file-validate "$root/share/applications/$app_id.desktop"; then
    ok "desktop-file-validate"
else
    fail "desktop-file-validate"
fi
metainfo=$root/share/metainfo/$app_id.metainfo.xml
if appstreamcli validate --no-net "$metainfo"; then ok "appstreamcli validate"; else fail "appstreamcli validate"; fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not launch $app_id.desktop"
for page in orvane orvane-cli; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        fail "man -l $page.1.gz warns: $warnings"
    elif ! zcat "$root/share/man/man1/$page.1.gz" | grep -q "^\.TH .*$version"; then
        fail "$page.1 does not carry version $version"
    else
        ok "man -l $page.1.gz without warnings"
    fi
done

# bash completion: every option that --help lists completes, and option values complete.
complete_words() { # the words of a command line, the last one being completed
    bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        shift
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        _orvane_cli orvane-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort
    ' bash "$root/share/bash-completion/completions/orvane-cli" "$@"
}
completion=$(complete_words orvane-cli --)
help_options=$("$root/bin/orvane-cli" --help | grep -Eo -- '--[a-z][a-z-]*' | sort -u)
missing=$(comm -23 <(echo "$help_options") <(echo "$completion"))
if [ -z "$help_options" ] || [ -n "$missing" ]; then
    fail "bash completion lacks options that --help lists: ${missing:-(none listed)}"
else
    ok "bash completion offers all $(wc -l <<<"$help_options") options of --help"
fi
expect_completion() { # expected words (one line), command line words...
    local want=$1 got
    shift
    got=$(complete_words "$@" | paste -sd' ')
    if [ "$got" = "$want" ]; then ok "completion of '$*'"; else fail "completion of '$*': '$got', expected '$want'"; fi
}
expect_completion "--method" orvane-cli --meth
# The methods as --help lists them ("--method TEXT:{file,mmio,win32}"), not as this script would.
methods=$("$root/bin/orvane-cli" --help | sed -n 's/.*--method [A-Z]*:{\([^}]*\)}.*/\1/p' | tr ',' ' ')
if [ -z "$methods" ]; then
    fail "--help names no access methods"
fi
expect_completion "$methods" orvane-cli --method ""
expect_completion "csv" orvane-cli --format c
expect_completion "128M 16M 1G 1M" orvane-cli --file-size=1

# Uninstalling removes every file the installation wrote.
cmake -DMANIFEST="$build/install_manifest.txt" -DDOCDIR="$prefix/share/doc/orvane" \
    -P cmake/Uninstall.cmake >/dev/null
left=$(find "$DESTDIR" -type f)
if [ -n "$left" ]; then fail "left after uninstalling: $left"; else ok "uninstall leaves no file"; fi
unset DESTDIR

# The Debian package: dependencies from dpkg-shlibdeps, and lintian finds no error.
cmake --build "$build" --target package >/dev/null
deb=$(ls "$build"/orvane_"$version"_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
if grep -q libqt6widgets6 <<<"$depends" && grep -q libc6 <<<"$depends"; then
    ok "package depends on: $depends"
else
    fail "package dependencies incomplete: $depends"
fi
contents=$(dpkg-deb -c "$deb")
for file in usr/bin/orvane usr/bin/orvane-cli "usr/share/applications/$app_id.desktop" \
    usr/share/man/man1/orvane-cli.1.gz usr/share/doc/orvane/copyright; do
    grep -q " \./$file\$" <<<"$contents" || fail "package lacks /$file"
done
if lintian --fail-on error "$deb"; then
    ok "lintian $(basename "$deb"): no errors"
else
    fail "lintian $(basename "$deb")"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures installation check(s) failed" >&2
    exit 1
fi
echo "All installation checks passed."
