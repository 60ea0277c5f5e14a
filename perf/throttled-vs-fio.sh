#!/bin/sh
# The ceiling and the measuring modes judged against a device of known speed: the disk under
# DIR throttled to RATE MiB/s (perf/throttle.sh), orvane-cli --ceiling --durable --cold beside
# fio on the same file system, in pairs, for each file size in SIZES. fio's counterparts:
# direct write (end_fsync) and direct read for the ceiling, a buffered write with end_fsync
# for the durable write, a read with invalidate for the cold read; all in 1 MiB transfers.
# A figure that came from the device lands just under the rate, one from the cache far above.
#
# The pairs take turns at which tool goes first, and each of Orvane's figures is judged
# against the rate and against fio's figure of the same pair (the median of the per-pair
# ratios), since other programs share the disk. After the pairs: one default-mode run under
# the same throttle (its passes go to the page cache) and the durable cold run on tmpfs, to
# show what `source` and `mode_honoured` say where the promise can't be kept.
#
#   perf/throttled-vs-fio.sh [ORVANE_CLI [DIR]]    root; DIR on a block device, not tmpfs
#   RUNS=5 pairs, SIZES="256M 1G", RATE=200 (MiB/s), SHM=/dev/shm (empty: no tmpfs run),
#   KEEP=DIR to keep the raw results there
#
# Orvane runs Win32 with both buffers and block size 256, its quickest layer for large
# chunks (a memcpy of 256 bytes per block, one system call per chunk), so that at 1M chunks
# the layer is far from the limit and the device (the throttle) is what the row measures.
set -eu

cli=${1:-build/cli/orvane-cli}
base=${2:-/var/tmp}
runs=${RUNS:-5}
sizes=${SIZES:-256M 1G}
rate=${RATE:-200}
shm=${SHM-/dev/shm}
for tool in fio python3; do
    command -v $tool >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
[ "$(id -u)" -eq 0 ] || { echo "the throttle needs root" >&2; exit 1; }
# shellcheck source=perf/throttle.sh
. "$(dirname "$0")/throttle.sh"

XDG_DATA_HOME=$(mktemp -d "${TMPDIR:-/tmp}/orvane-history.XXXXXX")
export XDG_DATA_HOME
dir=$(mktemp -d "$base/orvane-throttled-XXXXXX")
out=$(mktemp -d "${TMPDIR:-/tmp}/orvane-throttled-out.XXXXXX")
shmdir=
trap 'throttle_remove; rm -rf "$dir" "$out" "$XDG_DATA_HOME" ${shmdir:+"$shmdir"}' EXIT
trap 'exit 130' INT TERM
throttle_make "$dir" $((rate * 1048576))
device=$(stat -c '%Hd:%Ld' "$dir")
echo "file system: $(df -T "$dir" | awk 'NR == 2 { print $2 " on " $1 }'), device $device," \
    "throttled disk $(throttle_disk "$dir") to $rate MiB/s ($throttle_group)"
echo "kernel: $(uname -r), cores: $(nproc), pairs: $runs, sizes: $sizes, $(fio --version)"
python3 - "$dir" <<'PY'
# What the file system asks of direct I/O for a file here (statx STATX_DIOALIGN), and what
# it accepts: the smallest power of two that a buffer's address, and a transfer's offset and
# size, may be a multiple of.
import ctypes, mmap, os, sys
path = os.path.join(sys.argv[1], "statx.tmp")
with open(path, "wb") as f:
    f.write(bytes(1 << 20))
libc = ctypes.CDLL(None, use_errno=True)
raw = ctypes.create_string_buffer(256)
ok = libc.statx(-100, path.encode(), 0, 0x2000, raw) == 0  # AT_FDCWD, STATX_DIOALIGN
mask = int.from_bytes(raw.raw[0:4], "little")
if ok and mask & 0x2000:  # stx_dio_mem_align and stx_dio_offset_align at 0x98 and 0x9c
    told = (f"memory {int.from_bytes(raw.raw[0x98:0x9c], 'little')},"
            f" offset {int.from_bytes(raw.raw[0x9c:0xa0], 'little')}")
else:
    told = "not given"
fd = os.open(path, os.O_RDONLY | os.O_DIRECT)
page = mmap.mmap(-1, 1 << 16)
def accepted(memory, offset, size):
    try:
        return os.preadv(fd, [memoryview(page)[memory:memory + size]], offset) == size
    except OSError:
        return False
powers = [1 << k for k in range(13)]
memory = next((p for p in powers if accepted(p, 0, 4096)), None)
offset = next((p for p in powers if accepted(0, p, p)), None)
os.close(fd)
os.unlink(path)
print(f"direct I/O alignment: statx DIOALIGN {told}; accepted: memory {memory}, offset and"
      f" size {offset}")
PY
for bs in 512 256; do
    printf 'fio direct=1 bs=%s: ' "$bs"
    fio --name=align --filename="$dir/align.tmp" --rw=read --bs="$bs" --size=1M --direct=1 \
        --output-format=terse >/dev/null 2>&1 && echo works || echo refused
done
rm -f "$dir/align.tmp"

device_bytes() {
    awk -v d="$device" '$1 ":" $2 == d { printf "%.0f %.0f\n", $6 * 512, $10 * 512 }' /proc/diskstats
}

# One fio job under the throttle, after a settle as Orvane's passes have; appends "SIZE PAIR
# NAME MiB/s device_read device_written calls_s" to fio.txt. MiB/s is from the job's bytes
# and its whole run time (end_fsync included); calls_s is the time spent in its read or
# write calls, so that a buffered write's flush is the run time less that.
fio_job() {
    size=$1 pair=$2 name=$3
    shift 3
    sync -f "$dir"
    counts=$(device_bytes)
    mibs=$(throttled fio --name=job --filename="$dir/fio.tmp" --bs=1M --size="$size" \
        --output-format=json "$@" | python3 -c 'import json, sys
j = json.load(sys.stdin)["jobs"][0]
side = j["write"] if j["write"]["io_bytes"] else j["read"]
print(side["io_bytes"] / 1048576 / (j["job_runtime"] / 1000),
      side["lat_ns"]["mean"] * side["total_ios"] / 1e9)')
    after=$(device_bytes)
    echo "$size $pair $name ${mibs% *} $((${after% *} - ${counts% *}))" \
        "$((${after#* } - ${counts#* })) ${mibs#* }" >>"$out/fio.txt"
}

fio_pair() {
    rm -f "$dir/fio.tmp"
    fio_job "$1" "$2" direct-write --rw=write --direct=1 --end_fsync=1
    fio_job "$1" "$2" direct-read --rw=read --direct=1
    rm -f "$dir/fio.tmp"
    fio_job "$1" "$2" durable-write --rw=write --end_fsync=1 --zero_buffers
    fio_job "$1" "$2" cold-read --rw=read --invalidate=1
    rm -f "$dir/fio.tmp"
}

orvane() {  # SIZE DIR OUTPUT [OPTIONS...]
    size=$1 where=$2 result=$3
    shift 3
    throttled "$cli" --method win32 --write-buffered --read-buffered --block-size 256 \
        --file-size "$size" --dir "$where" --no-history --format json "$@" >"$result"
}

: >"$out/fio.txt"
for size in $sizes; do
    i=1
    while [ "$i" -le "$runs" ]; do
        if [ $((i % 2)) -eq 1 ]; then
            fio_pair "$size" "$i"
            orvane "$size" "$dir" "$out/orvane-$size-$i.json" --ceiling --durable --cold
        else
            orvane "$size" "$dir" "$out/orvane-$size-$i.json" --ceiling --durable --cold
            fio_pair "$size" "$i"
        fi
        echo "  $size pair $i done" >&2
        i=$((i + 1))
    done
done
first=${sizes%% *}
orvane "$first" "$dir" "$out/default.json"
if [ -n "$shm" ]; then
    shmdir=$(mktemp -d "$shm/orvane-throttled-XXXXXX")
    orvane "$first" "$shmdir" "$out/tmpfs.json" --ceiling --durable --cold
fi

# KEEP=DIR keeps the raw results (fio.txt, every run's JSON) for a later look.
[ -z "${KEEP:-}" ] || { mkdir -p "$KEEP" && cp "$out"/* "$KEEP"/; }
python3 - "$out" "$rate" "$runs" "$sizes" <<'PY'
import json, os, statistics, sys

out, rate, runs, sizes = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), sys.argv[4].split()
MiB = 1048576
fio = {}
for line in open(f"{out}/fio.txt"):
    size, pair, name, mibs, dev_read, dev_written, calls = line.split()
    fio[size, int(pair), name] = (float(mibs), int(dev_read), int(dev_written), float(calls))

def rows(doc, name):
    return {r["chunk"]: r for r in doc["rows"] if r["pass"] == name}

def mib(row):
    return row["throughput_kib_per_s"] / 1024

def spread(values, digits=2):
    return (f"median {statistics.median(values):.{digits}f}, {min(values):.{digits}f}.."
            f"{max(values):.{digits}f}")

def verdict(values, low, high):
    inside = sum(low <= v <= high for v in values)
    return f"{'met' if low <= statistics.median(values) <= high else 'MISSED'} by the median," \
           f" {inside} of {len(values)} pairs inside"

for size in sizes:
    docs = [json.load(open(f"{out}/orvane-{size}-{i}.json")) for i in range(1, runs + 1)]
    file_bytes = docs[0]["rows"][0]["file_bytes"]
    print(f"\n== {size}: MiB/s, rate {rate:.0f}; ratio = Orvane / fio of the same pair ==")
    print("pair | direct write: fio ceiling ratio | direct read: fio ceiling ratio |"
          " durable 1M: fio orvane ratio | cold 1M: fio orvane ratio | first")
    figures = {k: [] for k in ("ceiling write", "ceiling read", "durable 1M", "cold 1M")}
    ratios = {k: [] for k in figures}
    fio_rate = {k: [] for k in figures}
    for i, doc in enumerate(docs, 1):
        ceiling = doc["ceiling"]
        ours = {"ceiling write": ceiling["write_kib_per_s"] / 1024,
                "ceiling read": ceiling["read_kib_per_s"] / 1024,
                "durable 1M": mib(rows(doc, "write")["1M"]),
                "cold 1M": mib(rows(doc, "read")["1M"])}
        theirs = {"ceiling write": fio[size, i, "direct-write"][0],
                  "ceiling read": fio[size, i, "direct-read"][0],
                  "durable 1M": fio[size, i, "durable-write"][0],
                  "cold 1M": fio[size, i, "cold-read"][0]}
        cells = []
        for k in figures:
            figures[k].append(ours[k] / rate)
            ratios[k].append(ours[k] / theirs[k])
            fio_rate[k].append(theirs[k] / rate)
            cells.append(f"{theirs[k]:6.1f} {ours[k]:6.1f} {ours[k] / theirs[k]:5.3f}")
        print(f"{i:4} | {cells[0]:>28} | {cells[1]:>27} | {cells[2]:>26} | {cells[3]:>22} |"
              f" {'fio' if i % 2 else 'orvane'}")
    print("figure / rate (target 0.90..1.05) and Orvane / fio (target 0.90..1.10):")
    for k in figures:
        print(f"  {k:13} Orvane/rate {spread(figures[k], 3)} ({verdict(figures[k], 0.90, 1.05)})")
        print(f"  {'':13} fio/rate    {spread(fio_rate[k], 3)}")
        print(f"  {'':13} Orvane/fio  {spread(ratios[k], 3)} ({verdict(ratios[k], 0.90, 1.10)})")
    alignments = {json.dumps(d["ceiling"]["alignment"], sort_keys=True) for d in docs}
    print(f"ceiling alignment: {', '.join(alignments)}")
    for name in ("write", "read"):
        by_chunk = {}
        for d in docs:
            for chunk, r in rows(d, name).items():
                by_chunk.setdefault(chunk, []).append(r)
        print(f"{'durable' if name == 'write' else 'cold'} {name} rows, median over the runs:"
              " chunk MiB/s /rate ceiling_share device% source")
        for chunk, rs in by_chunk.items():
            sources = sorted({r["source"] for r in rs})
            print(f"  {chunk:>4} {statistics.median(mib(r) for r in rs):7.1f}"
                  f" {statistics.median(mib(r) for r in rs) / rate:5.3f}"
                  f" {statistics.median(r['ceiling_share'] for r in rs):5.3f}"
                  f" {min(r['device_bytes'] for r in rs) / file_bytes * 100:6.1f}..{max(r['device_bytes'] for r in rs) / file_bytes * 100:.1f}"
                  f" {'/'.join(sources)}")
    honoured = [(d["mode_honoured"], d["mode_note"]) for d in docs]
    print(f"mode_honoured over the runs: {sorted(set(honoured))}")
    dev = {}
    for (s, _, name), (_, read, written, _) in fio.items():
        if s == size:
            dev.setdefault(name, []).append((written if "write" in name else read) / file_bytes * 100)
    calls = [fio[size, i, "durable-write"][3] for i in range(1, runs + 1)]
    whole = [file_bytes / MiB / fio[size, i, "durable-write"][0] for i in range(1, runs + 1)]
    print("fio's durable write, seconds in its write calls / of the job: " +
          ", ".join(f"{c:.2f}/{w:.2f}" for c, w in zip(calls, whole)) +
          "; the flush alone at MiB/s: " +
          ", ".join(f"{file_bytes / MiB / (w - c):.0f}" for c, w in zip(calls, whole)))
    print("fio's device bytes, % of the file: " + ", ".join(
        f"{name} {min(v):.1f}..{max(v):.1f}" for name, v in dev.items()))

def summary(path, title):
    doc = json.load(open(path))
    print(f"\n== {title} ==")
    print(f"ceiling: {doc.get('ceiling')}, ceiling_note: {doc.get('ceiling_note')!r}")
    print(f"mode_honoured: {doc['mode_honoured']}, mode_note: {doc['mode_note']!r}")
    for name in ("write", "read"):
        rs = rows(doc, name)
        print(f"  {name}: MiB/s {min(mib(r) for r in rs.values()):.0f}..{max(mib(r) for r in rs.values()):.0f}"
              f" (/rate {min(mib(r) for r in rs.values()) / rate:.1f}..{max(mib(r) for r in rs.values()) / rate:.1f}),"
              f" source {sorted({r['source'] for r in rs.values()})},"
              f" device_bytes {sorted({str(r['device_bytes']) for r in rs.values()})[:3]}")

summary(f"{out}/default.json", f"default mode (page cache), {sizes[0]}, ext4 under the throttle")
if os.path.exists(f"{out}/tmpfs.json"):
    summary(f"{out}/tmpfs.json", f"--ceiling --durable --cold on tmpfs, {sizes[0]}")
PY
