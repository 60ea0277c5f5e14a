#!/bin/sh
# How long `orvane-cli report --by host` takes for a fleet: one real run of 1 MiB (with
# repeats, so that rows carry their samples) saved again as the result of HOSTS machines, each
# with a label of its own and its passes slower or faster by a factor of its own; then the
# fleet report in each format, and its SVG chart, timed RUNS times each. Prints the median and
# the slowest time per command. The report is meant to take under 2 s for a hundred hosts.
#
#   perf/fleet-report.sh [BUILD_DIR] [HOSTS] [RUNS]
set -eu
build=${1:-build}
hosts=${2:-100}
runs=${3:-5}
cli="$build/cli/orvane-cli"
[ -x "$cli" ] || { echo "missing $cli: build first" >&2; exit 2; }

dir=$(mktemp -d "${TMPDIR:-/tmp}/orvane-fleet-perf.XXXXXX")
trap 'rm -rf "$dir"' EXIT
# The run is this script's, not one for the user's history.
"$cli" --dir "$dir" --file-size 1M --repeat 3 --format json --output "$dir/run.json" \
    --no-history --host-label measured
python3 - "$dir" "$hosts" <<'PY'
import json, sys
folder, hosts = sys.argv[1], int(sys.argv[2])
run = json.load(open(f"{folder}/run.json"))
for h in range(hosts):
    factor = 0.7 + 0.6 * ((h * 37) % hosts) / max(hosts - 1, 1)  # 0.7 to 1.3, spread over hosts
    host = json.loads(json.dumps(run))
    host["host"]["label"] = f"host-{h + 1:03d}"
    for row in host["rows"]:
        for key in ("duration_s", "duration_min_s", "duration_max_s"):
            if row.get(key) is not None:
                row[key] *= factor
        if row.get("duration_samples_s"):
            row["duration_samples_s"] = [s * factor for s in row["duration_samples_s"]]
        if row.get("duration_s"):
            row["throughput_kib_per_s"] = row["file_bytes"] / 1024 / row["duration_s"]
    json.dump(host, open(f"{folder}/host-{h + 1:03d}.json", "w"), indent=2)
PY
bytes=$(cat "$dir"/host-*.json | wc -c)
echo "$hosts hosts' files of $((bytes / hosts / 1024)) KiB each; $runs runs of each command; seconds"
printf '%-28s %8s %8s\n' command median slowest
time_it() { # label, then the command
    label=$1
    shift
    i=0
    : >"$dir/times"
    while [ "$i" -lt "$runs" ]; do
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        awk -v start="$start" -v end="$end" 'BEGIN { print end - start }' >>"$dir/times"
        i=$((i + 1))
    done
    sort -n "$dir/times" | awk -v label="$label" '
        { t[NR] = $1 }
        END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
              printf "%-28s %8.3f %8.3f\n", label, m, t[NR] }'
}
for format in table csv json; do
    time_it "report --by host ($format)" "$cli" report --by host --format "$format" "$dir"/host-*.json
done
time_it "report (against the first)" "$cli" report "$dir"/host-*.json
if "$cli" report "$dir/host-001.json" --chart "$dir/probe.svg" >/dev/null 2>&1; then
    time_it "report --by host --chart svg" "$cli" report --by host "$dir"/host-*.json \
        --chart "$dir/fleet.svg"
else
    echo "(no chart: the chart helper of the orvane package is not found)"
fi
