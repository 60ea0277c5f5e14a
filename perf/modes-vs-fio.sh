#!/bin/sh
# The measuring modes beside fio on the same file system, in one go: durable writes against
# fio's write with end_fsync, cold reads against fio's read with invalidate, the proof
# (device_bytes, cached_bytes_at_start) of every pass, and the 1M write row against the 512K
# row with and without --durable. Usage: perf/modes-vs-fio.sh [ORVANE_CLI [DIR]]
# DIR must be on the disk to measure (not tmpfs); the default is /var/tmp.
set -eu

cli=${1:-build/cli/orvane-cli}
# The measurements are this script's, not runs for the user's history.
export XDG_DATA_HOME=$(mktemp -d "${TMPDIR:-/tmp}/orvane-history.XXXXXX")
base=${2:-/var/tmp}
runs=${RUNS:-3}
command -v fio >/dev/null || { echo "fio is needed (apt-get install fio)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is needed" >&2; exit 1; }
dir=$(mktemp -d "$base/orvane-modes-XXXXXX")
trap 'rm -rf "$dir"' EXIT INT TERM
echo "file system: $(df -T "$dir" | awk 'NR == 2 { print $2 " on " $1 }')"
echo "kernel: $(uname -r), cores: $(nproc), runs of each: $runs"

# MiB/s of a fio job from its bytes and its whole run time (end_fsync included). The file
# system is settled first, as orvane-cli --durable does before each pass.
fio_mib() {
    sync -f "$dir"
    fio --name=job --filename="$dir/fio.tmp" --bs=1m --size=256m --output-format=json "$@" |
        python3 -c 'import json, sys
j = json.load(sys.stdin)["jobs"][0]
side = j["write"] if j["write"]["io_bytes"] else j["read"]
print(side["io_bytes"] / 1048576 / (j["job_runtime"] / 1000))'
}

fio_write=""
fio_read=""
for i in $(seq "$runs"); do
    rm -f "$dir/fio.tmp"
    fio_write="$fio_write $(fio_mib --rw=write --end_fsync=1)"
    fio_read="$fio_read $(fio_mib --rw=read --invalidate=1)"
done
rm -f "$dir/fio.tmp"

"$cli" --method win32 --write-buffered --read-buffered --file-size 256M --block-size 256 \
    --durable --cold --repeat "$runs" --dir "$dir" --format json >"$dir/modes.json"
"$cli" --method win32 --write-buffered --read-buffered --file-size 256M --block-size 256 \
    --repeat "$runs" --dir "$dir" --format json >"$dir/default.json"

python3 - "$dir/modes.json" "$dir/default.json" "$fio_write" "$fio_read" <<'PY'
import json, statistics, sys

modes, default = (json.load(open(p)) for p in sys.argv[1:3])
fio_writes = [float(x) for x in sys.argv[3].split()]
fio_reads = [float(x) for x in sys.argv[4].split()]
fio_write, fio_read = statistics.median(fio_writes), statistics.median(fio_reads)

def rows(doc, name):
    return {r["chunk"]: r for r in doc["rows"] if r["pass"] == name}

def mib(row):
    return row["file_bytes"] / 1048576 / row["duration_s"]

def share(value, row):
    return "null" if value is None else f"{value / row['file_bytes'] * 100:6.1f} %"

print(f"\nfio write end_fsync=1 (median): {fio_write:8.1f} MiB/s "
      f"(runs {min(fio_writes):.0f}..{max(fio_writes):.0f})")
print(f"fio read invalidate=1 (median): {fio_read:8.1f} MiB/s "
      f"(runs {min(fio_reads):.0f}..{max(fio_reads):.0f})\n")
print("chunk | durable write MiB/s  device | cold read MiB/s  device  cached | default write device | default read device  cached")
for chunk, w in rows(modes, "write").items():
    r = rows(modes, "read")[chunk]
    dw, dr = rows(default, "write")[chunk], rows(default, "read")[chunk]
    print(f"{chunk:>5} | {mib(w):10.1f} {share(w['device_bytes'], w)} | {mib(r):10.1f} "
          f"{share(r['device_bytes'], r)} {share(r['cached_bytes_at_start'], r)} | "
          f"{share(dw['device_bytes'], dw)} | {share(dr['device_bytes'], dr)} "
          f"{share(dr['cached_bytes_at_start'], dr)}")

w1, r1 = rows(modes, "write")["1M"], rows(modes, "read")["1M"]
w512 = rows(modes, "write")["512K"]
d1, d512 = rows(default, "write")["1M"], rows(default, "write")["512K"]
print(f"\ndurable write 1M / fio write:        {mib(w1) / fio_write:5.2f}  (target 0.80..1.20)")
samples = r1["duration_samples_s"]
print(f"cold read 1M / fio read:             {mib(r1) / fio_read:5.2f}  (target 0.80..1.20; "
      f"our runs {r1['file_bytes'] / 1048576 / max(samples):.0f}.."
      f"{r1['file_bytes'] / 1048576 / min(samples):.0f} MiB/s)")
print(f"durable write 1M / durable 512K:     {mib(w1) / mib(w512):5.2f}  (target >= 0.80)")
print(f"default write 1M / default 512K:     {mib(d1) / mib(d512):5.2f}")
low_w = min(w["device_bytes"] / w["file_bytes"] for w in rows(modes, "write").values())
low_r = min(r["device_bytes"] / r["file_bytes"] for r in rows(modes, "read").values())
high_c = max(r["cached_bytes_at_start"] / r["file_bytes"] for r in rows(modes, "read").values())
print(f"lowest device_bytes, durable writes: {low_w * 100:5.1f} %  (target >= 95 %)")
print(f"lowest device_bytes, cold reads:     {low_r * 100:5.1f} %  (target >= 95 %)")
print(f"highest cached at start, cold reads: {high_c * 100:5.1f} %  (target <= 1 %)")
PY
