#!/bin/sh
# The device's ceiling (orvane-cli --ceiling) beside fio's direct I/O on the same file system:
# fio writes 256 MiB in 1 MiB direct transfers with end_fsync and reads them back directly,
# then orvane-cli measures its ceiling on a 256 MiB file of its own; RUNS pairs, judged by
# the median of the per-pair ratios, since a virtual disk's speed can move between runs.
# Both tools write bytes that are not zeros and settle the file system before each pass.
#
#   perf/ceiling-vs-fio.sh [ORVANE_CLI [DIR]]      RUNS=7 for seven pairs (default 5)
# DIR is where both tools put their files (default /var/tmp). To judge both against a known
# rate, run the whole script under a throttle of the device.
set -eu

cli=${1:-build/cli/orvane-cli}
XDG_DATA_HOME=$(mktemp -d "${TMPDIR:-/tmp}/orvane-history.XXXXXX")
export XDG_DATA_HOME
base=${2:-/var/tmp}
runs=${RUNS:-5}
command -v fio >/dev/null || { echo "fio is needed (apt-get install fio)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is needed" >&2; exit 1; }
dir=$(mktemp -d "$base/orvane-ceiling-XXXXXX")
trap 'rm -rf "$dir" "$XDG_DATA_HOME"' EXIT INT TERM
echo "file system: $(df -T "$dir" | awk 'NR == 2 { print $2 " on " $1 }')"
echo "kernel: $(uname -r), pairs: $runs, $(fio --version)"

# MiB/s of one fio job over its whole run time (the end_fsync included).
fio_job() {
    sync -f "$dir"
    fio --name=job --filename="$dir/fio.tmp" --bs=1M --direct=1 --size=256M \
        --output-format=json "$@" | python3 -c 'import json, sys
j = json.load(sys.stdin)["jobs"][0]
side = j["write"] if j["write"]["io_bytes"] else j["read"]
print(side["io_bytes"] / 1048576 / (j["job_runtime"] / 1000))'
}

: >"$dir/pairs.txt"
i=1
while [ "$i" -le "$runs" ]; do
    rm -f "$dir/fio.tmp"
    write=$(fio_job --rw=write --end_fsync=1)
    read=$(fio_job --rw=read)
    rm -f "$dir/fio.tmp"
    # The quickest run that measures a ceiling: the passes after it go through the cache.
    LC_ALL=C "$cli" --ceiling --file-size 256M --method win32 --write-buffered --read-buffered \
        --block-size 256 --dir "$dir" --no-history >"$dir/run.txt"
    echo "$write $read $(head -n 1 "$dir/run.txt")" >>"$dir/pairs.txt"
    i=$((i + 1))
done

python3 - "$dir/pairs.txt" <<'PY'
import re, statistics, sys

pattern = re.compile(r"(\S+) (\S+) Ceiling .*aligned to (.*)\): write (\S+) KiB/s, read (\S+) KiB/s")
pairs = []
for line in open(sys.argv[1]):
    match = pattern.match(line)
    if not match:
        sys.exit("no ceiling in: " + line.strip())
    fio_w, fio_r, alignment, ours_w, ours_r = match.groups()
    pairs.append((float(fio_w), float(fio_r), float(ours_w) / 1024, float(ours_r) / 1024))
print(f"alignment: {alignment}")
print("pair | fio write  ceiling write  ratio | fio read  ceiling read  ratio   (MiB/s)")
for n, (fw, fr, ow, orr) in enumerate(pairs, 1):
    print(f"{n:4} | {fw:9.0f} {ow:14.0f} {ow / fw:6.2f} | {fr:8.0f} {orr:13.0f} {orr / fr:6.2f}")

def spread(values):
    return f"median {statistics.median(values):7.1f}, {min(values):7.1f}..{max(values):7.1f}"

for name, k in (("fio write", 0), ("ceiling write", 2), ("fio read", 1), ("ceiling read", 3)):
    print(f"{name:14} MiB/s  {spread([p[k] for p in pairs])}")
for name, ours, theirs in (("write", 2, 0), ("read", 3, 1)):
    ratios = [p[ours] / p[theirs] for p in pairs]
    print(f"ceiling/fio {name}, median of pairs: {statistics.median(ratios):.2f}"
          f" (pairs {min(ratios):.2f}..{max(ratios):.2f})")
PY
