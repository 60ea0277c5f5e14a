#!/bin/sh
# How long `orvane-cli report` takes on many saved runs and on files of the largest size it
# reads: 100 runs of 22 rows each compared and charted, a saved run of 16 MiB (just under the
# limit: read whole) and one of 17 MiB (refused before it is read), and a damaged file that
# size. Prints the median of RUNS timings of each, in seconds.
#
#   perf/report-scale.sh [ORVANE_CLI]      RUNS=5 by default
set -eu
cli=${1:-build/cli/orvane-cli}
runs=${RUNS:-5}
dir=$(mktemp -d "${TMPDIR:-/tmp}/orvane-report-scale.XXXXXX")
trap 'rm -rf "$dir"' EXIT INT TERM
export XDG_DATA_HOME="$dir/history"

# One real run, then 99 copies of it with other start times and throughputs.
"$cli" --dir "$dir" --file-size 1M --format json --output "$dir/run-001.json" --no-history \
    2>/dev/null
python3 - "$dir" <<'PY'
import json, sys, random
d = sys.argv[1]
base = json.load(open(f"{d}/run-001.json"))
random.seed(1)
for i in range(2, 101):
    run = json.loads(json.dumps(base))
    run["start_time"] = f"2026-12-08T10:{i // 60:02d}:{i % 60:02d}.000+00:00"
    for row in run["rows"]:
        row["duration_s"] *= random.uniform(0.8, 1.25)
        row["duration_samples_s"] = [row["duration_s"]]
    json.dump(run, open(f"{d}/run-{i:03d}.json", "w"))
# The largest saved runs: one row repeated until the file is 16 MiB, then 17 MiB.
row = dict(base["rows"][0])
row["duration_samples_s"] = [row["duration_s"]] * 1000
for name, size in (("big-16M.json", 16 * 2**20 - 4096), ("big-17M.json", 17 * 2**20)):
    run = dict(base)
    one = len(json.dumps(row)) + 2
    run["rows"] = [row] * min(19999, size // one)
    text = json.dumps(run)
    text = text[:-1] + " " * max(0, size - len(text) - 1) + "}"
    open(f"{d}/{name}", "w").write(text)
open(f"{d}/damaged-16M.json", "w").write("{" + "\"x\":[" * 100000 + " " * (16 * 2**20 - 700001))
PY

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
time_it() { # label, command...
    label=$1
    shift
    i=0
    while [ $i -lt "$runs" ]; do
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s.%N)
        echo "$end - $start" | bc
        i=$((i + 1))
    done | median | awk -v l="$label" '{ printf "%-44s %6.3f s\n", l, $1 }'
}

set -- "$dir"/run-*.json
echo "orvane-cli report, median of $runs ($(nproc) cores, $("$cli" --version))"
time_it "100 runs of 22 rows, table" "$cli" report "$@"
time_it "100 runs of 22 rows, table and SVG chart" "$cli" report "$@" --chart "$dir/c.svg"
time_it "100 runs of 22 rows, table and PNG chart" "$cli" report "$@" --chart "$dir/c.png"
time_it "a 16 MiB saved run (read)" "$cli" report "$dir/big-16M.json"
time_it "a 17 MiB saved run (refused)" "$cli" report "$dir/big-17M.json"
time_it "a damaged 16 MiB file (refused)" "$cli" report "$dir/damaged-16M.json"
if "$cli" report "$dir/big-16M.json" >/dev/null; then echo "the 16 MiB run was read"; fi
for refused in big-17M damaged-16M; do
    "$cli" report "$dir/$refused.json" 2>&1 >/dev/null | sed "s|$dir/||" | head -1
done
