#!/bin/sh
# The window's pass times beside the command line's for the same run (1 MiB file, block size
# 256, every chunk size), on one directory, under an X server: the window's gauge repaints
# during its passes, so what its rows report is compared with what orvane-cli reports.
# Starts Xvfb on a free display unless DISPLAY is set. Runs the programs in turn, round by
# round, for the File method and for Win32 with both boxes ticked, and prints each round's
# median pass times and their ratio (window / cli), the median and spread of those ratios,
# and the median and fastest pass of all rounds together.
#
#   perf/window-vs-cli.sh [BUILD_DIR] [RUNS] [DIR]
#
# BEFORE=OTHER_BUILD_DIR  also runs that build's window in every round (a build of an earlier
#                         tree, say), so that both windows meet the same state of the machine.
# ACCESSIBILITY=1         runs everything in a D-Bus session of its own with the AT-SPI registry
#                         and a client listening for value changes (perf/atspi-listener.py,
#                         Debian's python3-pyatspi), the windows with Qt's bridge on: the window
#                         as a screen reader's user runs it. The window of BUILD_DIR also runs
#                         with the bridge off in every round, which gives the bridge's own cost.
set -eu
build=${1:-build}
runs=${2:-7}
dir=${3:-$(mktemp -d "${TMPDIR:-/tmp}/orvane-perf.XXXXXX")}
before=${BEFORE:-}
accessibility=${ACCESSIBILITY:-0}
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    # Qt wants one, and the accessibility bus puts its socket there.
    XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/orvane-runtime.XXXXXX")
    export XDG_RUNTIME_DIR
fi

if [ "$accessibility" = 1 ] && [ -z "${ORVANE_PERF_OWN_BUS:-}" ]; then
    # A bus of its own: the registry, the listener and the windows meet nobody else's.
    command -v dbus-run-session >/dev/null || { echo "missing dbus-run-session" >&2; exit 2; }
    ORVANE_PERF_OWN_BUS=1 exec dbus-run-session -- "$0" "$build" "$runs" "$dir"
fi

window="$build/perf/orvane_window_pass"
cli="$build/cli/orvane-cli"
windows="this:$window"
[ -n "$before" ] && windows="before:$before/perf/orvane_window_pass $windows"
[ "$accessibility" = 1 ] && windows="$windows bridgeoff:$window"
# The measurements are this script's, not runs for the user's history.
XDG_DATA_HOME=$(mktemp -d "${TMPDIR:-/tmp}/orvane-history.XXXXXX")
export XDG_DATA_HOME
for program in "$cli" $(for w in $windows; do echo "${w#*:}"; done); do
    [ -x "$program" ] || { echo "missing $program (build with -DORVANE_BUILD_PERF=ON)" >&2; exit 2; }
done

out=$(mktemp -d "${TMPDIR:-/tmp}/orvane-perf-out.XXXXXX")
xvfb=""
listener=""
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$out"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
    display=:$((90 + $$ % 100))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY="$display"
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.3
    done
fi
unset QT_QPA_PLATFORM # the real X server, not the offscreen one

if [ "$accessibility" = 1 ]; then
    # Debian's python, which python3-pyatspi is for, whatever python3 comes first on PATH.
    python=${ATSPI_PYTHON:-/usr/bin/python3}
    "$python" "$here/atspi-listener.py" >"$out/heard.txt" 2>"$out/listener-errors.txt" &
    listener=$!
    # The session bus starts the accessibility bus and its registry when the listener asks.
    for _ in $(seq 50); do
        grep -q '^listening' "$out/heard.txt" && break
        kill -0 "$listener" 2>/dev/null || break
        sleep 0.2
    done
    grep -q '^listening' "$out/heard.txt" || {
        echo "the AT-SPI listener did not start:" >&2
        cat "$out/listener-errors.txt" >&2
        exit 2
    }
    # Qt's bridge, on without a screen reader having switched it on in the desktop settings.
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
fi

# One round runs every program once; the order turns with the round, so that none always
# comes first after the machine's pauses.
for method in file win32; do
    boxes=""
    [ "$method" = win32 ] && boxes="--write-buffered --read-buffered"
    programs="$windows cli:$cli"
    count=$(echo "$programs" | wc -w)
    i=0
    while [ "$i" -lt "$runs" ]; do
        shift_by=$((i % count))
        # shellcheck disable=SC2086
        set -- $programs
        k=0
        while [ "$k" -lt "$shift_by" ]; do
            first=$1
            shift
            set -- "$@" "$first"
            k=$((k + 1))
        done
        for entry in "$@"; do
            name=${entry%%:*}
            program=${entry#*:}
            if [ "$name" = cli ]; then
                # shellcheck disable=SC2086
                "$program" --method "$method" $boxes --file-size 1M --block-size 256 \
                    --format json --dir "$dir" >"$out/cli-$method-$i.json" 2>/dev/null
            else
                bridge=""
                [ "$name" = bridgeoff ] && bridge="-u QT_LINUX_ACCESSIBILITY_ALWAYS_ON -u QT_ACCESSIBILITY"
                # In the background for its process id, which the listener's counts are by.
                # shellcheck disable=SC2086
                env $bridge "$program" "$dir" "$method" >"$out/$name-$method-$i.txt" &
                pid=$!
                wait "$pid"
                echo "$pid $name" >>"$out/pids.txt"
            fi
        done
        i=$((i + 1))
    done
done

if [ -n "$listener" ]; then
    kill "$listener"
    wait "$listener" || true
    listener=""
fi

"${PYTHON:-python3}" - "$out" "$runs" "$accessibility" <<'PY'
import glob, json, os, statistics, sys
out, runs, accessibility = sys.argv[1], int(sys.argv[2]), sys.argv[3] == "1"
found = {os.path.basename(p).split("-")[0] for p in glob.glob(f"{out}/*-file-*.txt")}
labels = {"before": "the build before", "this": "this build",
          "bridgeoff": "this build, the bridge off"}
names = [name for name in labels if name in found]

def window_times(name, method, i):
    passes = {"W": [], "R": []}
    for line in open(f"{out}/{name}-{method}-{i}.txt"):
        kind, _chunk, ns = line.split()
        passes[kind].append(int(ns) / 1e6)
    return passes

def cli_times(method, i):
    passes = {"W": [], "R": []}
    for row in json.load(open(f"{out}/cli-{method}-{i}.json"))["rows"]:
        passes["W" if row["pass"] == "write" else "R"].append(row["duration_s"] * 1e3)
    return passes

def spread(values):
    return f"{statistics.median(values):5.2f} ({min(values):.2f}..{max(values):.2f})"

print(f"1 MiB, block size 256, all chunk sizes, {runs} rounds; pass times in ms"
      + (", the AT-SPI bridge on and a client listening" if accessibility else ""))
print("Each round: the median of its passes of a kind, window / cli.")
for method in ("file", "win32"):
    cli = [cli_times(method, i) for i in range(runs)]
    off = [window_times("bridgeoff", method, i) for i in range(runs)] if "bridgeoff" in names else None
    for name in names:
        window = [window_times(name, method, i) for i in range(runs)]
        print(f"\n{method}, window ({labels[name]}) / cli")
        print(f"{'round':>5} {'write':>21} {'read':>21}")
        ratios = {"W": [], "R": []}
        for i in range(runs):
            cells = []
            for kind in ("W", "R"):
                w, c = statistics.median(window[i][kind]), statistics.median(cli[i][kind])
                ratios[kind].append(w / c)
                cells.append(f"{w:6.3f} / {c:6.3f} {w / c:5.2f}")
            print(f"{i + 1:5} {cells[0]:>21} {cells[1]:>21}")
        print(f"ratio, median (min..max) of the rounds: write {spread(ratios['W'])},"
              f" read {spread(ratios['R'])}")
        if off is not None and name != "bridgeoff":
            bridge = {kind: [statistics.median(window[i][kind]) / statistics.median(off[i][kind])
                             for i in range(runs)] for kind in ("W", "R")}
            print(f"the bridge's cost, window / this build's window with it off, by round:"
                  f" write {spread(bridge['W'])}, read {spread(bridge['R'])}")
        pooled = {k: [t for r in window for t in r[k]] for k in ("W", "R")}
        pooled_cli = {k: [t for r in cli for t in r[k]] for k in ("W", "R")}
        cells = []
        for kind in ("W", "R"):
            w, c = statistics.median(pooled[kind]), statistics.median(pooled_cli[kind])
            cells.append(f"{'write' if kind == 'W' else 'read'} {w:.3f} / {c:.3f} ({w / c:.2f})")
        w = min(pooled["W"] + pooled["R"])
        c = min(pooled_cli["W"] + pooled_cli["R"])
        print(f"all rounds: median {', '.join(cells)}; fastest {w:.3f} / {c:.3f} ({w / c:.2f})")

if accessibility:
    by_pid = dict(line.split() for line in open(f"{out}/pids.txt"))
    heard = {name: [] for name in names}
    listings = [line.strip() for line in open(f"{out}/heard.txt") if line.startswith("first")]
    print(f"\nthe registry, when the first window was heard: {listings[0] if listings else 'none'}")
    for line in open(f"{out}/heard.txt"):
        if line.startswith("heard "):
            _, pid, count = line.split()
            if pid in by_pid:
                heard[by_pid[pid]].append(int(count))
    for name in names:
        runs_heard = heard[name]
        told = f"{min(runs_heard)}..{max(runs_heard)}" if runs_heard else "none"
        print(f"value changes heard from the window ({labels[name]}): {len(runs_heard)} of"
              f" {2 * runs} runs, {told} a run")
PY
