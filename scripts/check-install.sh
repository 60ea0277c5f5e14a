#!/usr/bin/env bash
# Checks what an installation of Orvane holds, from an existing build directory: installs
# into a temporary DESTDIR and runs the installed programs there (orvane-cli drawing a chart
# through the installed helper), validates the menu entry, the AppStream metainfo and the
# manual pages, completes options with the installed bash completion, uninstalls, then builds
# the two .debs, runs lintian on them, and installs orvane-cli alone into a scratch root,
# where it runs without Qt and says that charts need the orvane package.
# Usage: scripts/check-install.sh [BUILD-DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=/usr
app_id=io.github.orvane.Orvane
# Where Debian's orvane package puts the chart helper, which orvane-cli also looks for.
PACKAGED_HELPER=/usr/libexec/orvane/orvane-chart

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
    bin/orvane bin/orvane-cli libexec/orvane/orvane-chart
    "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$app_id.svg"
    share/man/man1/orvane.1.gz share/man/man1/orvane-cli.1.gz
    share/bash-completion/completions/orvane-cli
    share/zsh/vendor-completions/_orvane-cli
    share/doc/orvane/copyright share/doc/orvane/changelog.gz
    share/doc/orvane-cli/copyright share/doc/orvane-cli/changelog.gz
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

# The installed orvane-cli finds the installed chart helper (nothing in the environment names
# it) and draws a run's chart, as a fleet of one.
export XDG_DATA_HOME=$stage/history
mkdir -p "$stage/runs"
if ! env -u ORVANE_CHART_HELPER "$root/bin/orvane-cli" --dir "$stage/runs" --file-size 1M \
    --format json --output "$stage/run.json" --host-label checked; then
    fail "a 1M run of the installed orvane-cli"
elif ! env -u ORVANE_CHART_HELPER "$root/bin/orvane-cli" report --by host \
    "$stage/run.json" --chart "$stage/run.svg" >/dev/null; then
    fail "the installed orvane-cli report --chart"
elif ! grep -q 'across 1 host' "$stage/run.svg"; then
    fail "the installed chart helper drew no fleet chart"
else
    ok "the installed orvane-cli draws a chart through $prefix/libexec/orvane/orvane-chart"
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
cmake -DMANIFEST="$build/install_manifest.txt" \
    -DFOLDERS="$prefix/share/doc/orvane;$prefix/share/doc/orvane-cli;$prefix/libexec/orvane" \
    -P cmake/Uninstall.cmake >/dev/null
left=$(find "$DESTDIR" -type f)
if [ -n "$left" ]; then fail "left after uninstalling: $left"; else ok "uninstall leaves no file"; fi
for folder in share/doc/orvane share/doc/orvane-cli libexec/orvane; do
    [ ! -e "$root/$folder" ] || fail "left after uninstalling: the folder $prefix/$folder"
done
unset DESTDIR

# The Debian packages: orvane-cli without Qt, orvane with it and with orvane-cli; their
# dependencies from dpkg-shlibdeps, and lintian finds no error.
cmake --build "$build" --target package >/dev/null
cli_deb=$(ls "$build"/orvane-cli_"$version"_*.deb)
app_deb=$(ls "$build"/orvane_"$version"_*.deb)
cli_depends=$(dpkg-deb -f "$cli_deb" Depends)
app_depends=$(dpkg-deb -f "$app_deb" Depends)
if grep -q libc6 <<<"$cli_depends" && ! grep -qi qt <<<"$cli_depends" &&
    ! tr ',' '\n' <<<"$cli_depends" | sed 's/(.*//; s/ //g' |
        grep -qEv '^(libc6|libgcc-s1|libstdc\+\+6)$'; then
    ok "orvane-cli depends on: $cli_depends"
else
    fail "orvane-cli depends on more than libc, libstdc++ and libgcc: $cli_depends"
fi
if grep -q libqt6widgets6 <<<"$app_depends" && grep -q "orvane-cli (= $version)" <<<"$app_depends"; then
    ok "orvane depends on: $app_depends"
else
    fail "orvane's dependencies incomplete: $app_depends"
fi
expect_contents() { # deb, files it must hold..., then -- and files it must not
    local deb=$1 contents must=1
    shift
    contents=$(dpkg-deb -c "$deb")
    for file in "$@"; do
        if [ "$file" = -- ]; then
            must=0
            continue
        fi
        if grep -q " \./$file\$" <<<"$contents"; then
            [ "$must" -eq 1 ] || fail "$(basename "$deb") holds /$file"
        else
            [ "$must" -eq 0 ] || fail "$(basename "$deb") lacks /$file"
        fi
    done
}
expect_contents "$cli_deb" usr/bin/orvane-cli usr/share/man/man1/orvane-cli.1.gz \
    usr/share/bash-completion/completions/orvane-cli usr/share/doc/orvane-cli/copyright \
    -- usr/bin/orvane usr/libexec/orvane/orvane-chart
expect_contents "$app_deb" usr/bin/orvane usr/libexec/orvane/orvane-chart \
    "usr/share/applications/$app_id.desktop" usr/share/man/man1/orvane.1.gz \
    usr/share/doc/orvane/copyright -- usr/bin/orvane-cli
for deb in "$cli_deb" "$app_deb"; do
    if lintian --fail-on error "$deb"; then
        ok "lintian $(basename "$deb"): no errors"
    else
        fail "lintian $(basename "$deb")"
    fi
done

# orvane-cli alone, installed by dpkg into a scratch root of its own: it runs, measures, and
# says in one line that charts need the orvane package.
scratch=$stage/scratch
mkdir -p "$scratch/var/lib/dpkg/info" "$scratch/var/lib/dpkg/updates" "$scratch/tmp"
touch "$scratch/var/lib/dpkg/status"
# Its libraries are the machine's: the scratch root's dpkg database knows none of them.
if dpkg --root="$scratch" --force-depends --log=/dev/null -i "$cli_deb" >/dev/null; then
    ok "dpkg --root installs $(basename "$cli_deb") alone"
else
    fail "dpkg --root -i $(basename "$cli_deb")"
fi
cli=$scratch/usr/bin/orvane-cli
needed=$(objdump -p "$cli" | sed -n 's/^ *NEEDED *//p' | paste -sd' ')
if [ -n "$needed" ] && ! grep -qi qt <<<"$needed"; then
    ok "orvane-cli needs no Qt: $needed"
else
    fail "orvane-cli needs: $needed"
fi
expect_output "orvane-cli alone: --version" "^orvane-cli $version\$" "$cli" --version
if "$cli" --dir "$scratch/tmp" --file-size 1M --format json --output "$scratch/run.json" &&
    [ "$(grep -c '"pass"' "$scratch/run.json")" -eq 22 ]; then
    ok "orvane-cli alone: a 1M run of 22 rows"
else
    fail "orvane-cli alone: a 1M run"
fi
if [ -e "$PACKAGED_HELPER" ]; then
    echo "skipped: orvane-cli alone and --chart, since this machine has $PACKAGED_HELPER"
else
    status=0
    output=$(env -u ORVANE_CHART_HELPER "$cli" report "$scratch/run.json" --chart "$scratch/run.svg" 2>&1) ||
        status=$?
    if [ "$status" -eq 2 ] && [ "$(wc -l <<<"$output")" -eq 1 ] && grep -q 'orvane package' <<<"$output" &&
        [ ! -e "$scratch/run.svg" ]; then
        ok "orvane-cli alone and --chart: $output"
    else
        fail "orvane-cli alone and --chart: exit status $status, output: $output"
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures installation check(s) failed" >&2
    exit 1
fi
echo "All installation checks passed."
