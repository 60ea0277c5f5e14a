#!/bin/sh
# The window's pass times beside the command line's for the same run (1 MiB file, block size
# 256, every chunk size), on one directory, under an X server: the window's gauge repaints
# during its passes, so what its rows report is compared with what orvane-cli reports.
# Starts Xvfb on a free display unless DISPLAY is set. Prints the median pass time of each
# front end and their ratio, for the File method and for Win32 with both boxes ticked.
#
#   perf/window-vs-cli.sh [BUILD_DIR] [RUNS] [DIR]
set -eu
build=${1:-build}
runs=${2:-7}
dir=${3:-$(mktemp -d "${TMPDIR:-/tmp}/orvane-perf.XXXXXX")}
window="$build/perf/orvane_window_pass"
cli="$build/cli/orvane-cli"
# The measurements are this script's, not runs for the user's history.
export XDG_DATA_HOME=$(mktemp -d "${TMPDIR:-/tmp}/orvane-history.XXXXXX")
for program in "$window" "$cli"; do
    [ -x "$program" ] || { echo "missing $program (build with -DORVANE_BUILD_PERF=ON)" >&2; exit 2; }
done

xvfb=""
if [ -z "${DISPLAY:-}" ]; then
    display=:$((90 + $$ % 100))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null || true' EXIT INT TERM
    export DISPLAY="$display"
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.3
    done
fi
unset QT_QPA_PLATFORM # the real X server, not the offscreen one
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/orvane-runtime.XXXXXX")
    export XDG_RUNTIME_DIR
fi

out=$(mktemp -d "${TMPDIR:-/tmp}/orvane-perf-out.XXXXXX")
for method in file win32; do
    boxes=""
    [ "$method" = win32 ] && boxes="--write-buffered --read-buffered"
    i=0
    while [ "$i" -lt "$runs" ]; do
        # Interleaved, so that both see the same state of the machine.
        "$window" "$dir" "$method" >>"$out/window-$method.txt"
        # shellcheck disable=SC2086
        "$cli" --method "$method" $boxes --file-size 1M --block-size 256 --format json \
            --dir "$dir" >"$out/cli-$method-$i.json" 2>/dev/null
        i=$((i + 1))
    done
done

python3 - "$out" "$runs" <<'PY'
import glob, json, statistics, sys
out, runs = sys.argv[1], sys.argv[2]
print(f"1 MiB, block size 256, all chunk sizes, {runs} runs each; pass time in ms")
print("(the median, and the fastest pass, which load on a shared machine disturbs least)")
print(f"{'method':8} {'pass':6} {'window':>9} {'cli':>9} {'ratio':>7}"
      f" {'win min':>9} {'cli min':>9} {'ratio':>7}")
for method in ("file", "win32"):
    window = {"W": [], "R": []}
    for line in open(f"{out}/window-{method}.txt"):
        kind, _chunk, ns = line.split()
        window[kind].append(int(ns) / 1e6)
    cli = {"W": [], "R": []}
    for name in glob.glob(f"{out}/cli-{method}-*.json"):
        for row in json.load(open(name))["rows"]:
            cli["W" if row["pass"] == "write" else "R"].append(row["duration_s"] * 1e3)
    for kind in ("W", "R", "all"):
        w = window["W"] + window["R"] if kind == "all" else window[kind]
        c = cli["W"] + cli["R"] if kind == "all" else cli[kind]
        mw, mc = statistics.median(w), statistics.median(c)
        lw, lc = min(w), min(c)
        print(f"{method:8} {kind:6} {mw:9.3f} {mc:9.3f} {mw / mc:7.2f}"
              f" {lw:9.3f} {lc:9.3f} {lw / lc:7.2f}")
PY
rm -rf "$out"
