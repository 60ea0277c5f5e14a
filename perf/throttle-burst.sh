#!/bin/sh
# How much the throttle of perf/throttle.sh lets through at once: the block cgroup's throttle
# counts its budget in slices (100 ms on a rotational queue, 20 ms otherwise), so a pass can
# start with bytes that take no time, and a figure measured under it is too high by about
# that burst over the file's size. This script times passes of several sizes under the
# throttle, each after half a second of idleness, and prints for each the burst it got:
# BURST = SIZE - RATE * (time of its I/O), and how much of it the cgroup was charged for.
#
# Passes: a direct write (1 MiB transfers, then fdatasync) and a direct read, as the ceiling
# and fio's direct=1 jobs do; a buffered write whose I/O is its closing fdatasync, as a
# durable pass and fio's end_fsync; a buffered read after POSIX_FADV_DONTNEED, as a cold pass.
# Each runs plain (the file system settled by a process outside the cgroup) and right after
# a settle (syncfs) by the pass's own process, as orvane-cli's --durable passes are: a syncfs
# 0.1 s before the write pass (its pause) and right before a direct pass (the ceiling's).
# Last, the device's bytes every 2 ms in the first 300 ms of a direct read.
#
#   perf/throttle-burst.sh [DIR]    root; ROUNDS=3, SIZES="64 256 1024" (MiB), RATE=200 (MiB/s)
set -eu

base=${1:-/var/tmp}
rounds=${ROUNDS:-3}
sizes=${SIZES:-64 256 1024}
rate=${RATE:-200}
[ "$(id -u)" -eq 0 ] || { echo "the throttle needs root" >&2; exit 1; }
# shellcheck source=perf/throttle.sh
. "$(dirname "$0")/throttle.sh"
dir=$(mktemp -d "$base/orvane-burst-XXXXXX")
trap 'throttle_remove; rm -rf "$dir"' EXIT
trap 'exit 130' INT TERM
throttle_make "$dir" $((rate * 1048576))
disk=$(throttle_disk "$dir")
name=$(basename "$(readlink -f "/sys/dev/block/$disk")")
echo "file system: $(df -T "$dir" | awk 'NR == 2 { print $2 " on " $1 }'), disk $name ($disk)," \
    "rotational $(cat "/sys/block/$name/queue/rotational"), kernel $(uname -r)"
echo "throttle: $rate MiB/s read and write, $throttle_group; rounds $rounds, sizes $sizes MiB"

throttled python3 - "$dir" "$disk" "$throttle_group" "$rate" "$rounds" "$sizes" <<'PY'
import ctypes, mmap, os, statistics, subprocess, sys, time

folder, disk, group, rate, rounds, sizes = sys.argv[1:]
rate, rounds, sizes = float(rate), int(rounds), [int(s) for s in sizes.split()]
MiB = 1048576
libc = ctypes.CDLL(None, use_errno=True)
path = os.path.join(folder, "burst.tmp")
direct_buffer = mmap.mmap(-1, MiB)  # page-aligned, as O_DIRECT wants
direct_buffer.write(os.urandom(MiB))
plain_buffer = bytes(MiB)
parent = os.path.dirname(group)

def counters():
    """(cgroup read, cgroup write, device read, device write) bytes so far."""
    charged = {"Read": 0, "Write": 0}
    name = "blkio.throttle.io_service_bytes"
    if os.path.exists(os.path.join(group, name)):
        for line in open(os.path.join(group, name)):
            f = line.split()
            if len(f) == 3 and f[0] == disk and f[1] in charged:
                charged[f[1]] = int(f[2])
    else:  # cgroup v2
        for line in open(os.path.join(group, "io.stat")):
            f = line.split()
            if f and f[0] == disk:
                values = dict(x.split("=") for x in f[1:])
                charged = {"Read": int(values["rbytes"]), "Write": int(values["wbytes"])}
    for line in open("/proc/diskstats"):
        f = line.split()
        if f"{f[0]}:{f[1]}" == disk:
            return charged["Read"], charged["Write"], int(f[5]) * 512, int(f[9]) * 512

def settle_outside():
    # sync -f from a process moved out of the cgroup first: the settle charges nothing here.
    subprocess.run(["sh", "-c", f'echo $$ >"{parent}/cgroup.procs" && exec sync -f "{folder}"'],
                   check=True)

def settle_inside():
    fd = os.open(folder, os.O_RDONLY)
    if libc.syncfs(fd) != 0:
        raise OSError(ctypes.get_errno(), "syncfs")
    os.close(fd)

def prepare(size):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    for i in range(size):
        os.write(fd, plain_buffer)
    os.fdatasync(fd)
    os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    os.close(fd)

def run(kind, size, after_settle):
    """One pass: seconds of its I/O, whole seconds, charged and device MiB of its I/O, and for
    a durable write the device MiB written before its flush."""
    if "write" in kind and os.path.exists(path):
        os.unlink(path)
    flags = {"direct write": os.O_WRONLY | os.O_CREAT | os.O_DIRECT,
             "direct read": os.O_RDONLY | os.O_DIRECT,
             "durable write": os.O_WRONLY | os.O_CREAT,
             "cold read": os.O_RDONLY}[kind]
    fd = os.open(path, flags, 0o600)
    if kind == "cold read":
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    settle_outside()
    time.sleep(0.5)
    if after_settle:
        settle_inside()
        if kind == "durable write":
            time.sleep(0.1)  # orvane-cli's pause between its settle and the pass
    writes = "write" in kind
    before = counters()
    start = time.monotonic()
    if kind == "direct write":
        for i in range(size):
            os.pwrite(fd, direct_buffer, i * MiB)
        os.fdatasync(fd)
    elif kind == "durable write":
        for i in range(size):
            os.write(fd, plain_buffer)
        io_start = time.monotonic()
        cached = counters()
        # What reached the device before the flush was written back by someone else.
        early = (cached[3] - before[3]) / MiB
        before = cached
        os.fdatasync(fd)
    elif kind == "direct read":
        for i in range(size):
            os.preadv(fd, [direct_buffer], i * MiB)
    else:
        while os.read(fd, MiB):
            pass
    end = time.monotonic()
    after = counters()
    os.close(fd)
    io = end - (io_start if kind == "durable write" else start)
    k = 1 if writes else 0
    return (io, end - start, (after[k] - before[k]) / MiB, (after[k + 2] - before[k + 2]) / MiB,
            early if kind == "durable write" else 0.0)

kinds = ("direct read", "cold read", "direct write", "durable write")
results = {}
for r in range(rounds):
    order = sizes if r % 2 == 0 else sizes[::-1]
    for size in order:
        prepare(size)  # the reads' file, written once; the writes come after them
        for kind in kinds:
            for after_settle in (False, True):
                results.setdefault((kind, after_settle, size), []).append(run(kind, size, after_settle))
    print(f"  round {r + 1} done", file=sys.stderr)

print("\nkind, settle | size | MiB/s of the pass /rate (median of rounds) | burst MiB"
      " (SIZE - RATE * I/O time) | I/O s of whole s | charged/device, lowest | device MiB"
      " before the flush (durable)")
bursts = {}
for kind in kinds:
    for after_settle in (False, True):
        label = f"{kind}, {'settled just before' if after_settle else 'plain'}"
        for size in sizes:
            rs = results[(kind, after_settle, size)]
            mibs = statistics.median(size / r[1] for r in rs)
            b = [size - rate * r[0] for r in rs]
            bursts.setdefault((kind, after_settle), []).extend(b)
            charged = min(r[2] / r[3] if r[3] else 0 for r in rs)
            print(f"{label:36} | {size:5} | {mibs:7.1f} {mibs / rate:5.3f} |"
                  f" {' '.join(f'{x:6.1f}' for x in b)} |"
                  f" {' '.join(f'{r[0]:.2f}/{r[1]:.2f}' for r in rs)} | {charged:.2f} |"
                  f" {' '.join(f'{r[4]:.0f}' for r in rs) if 'durable' in kind else ''}")

print("\nburst over all sizes and rounds (MiB), and the smallest file size of orvane-cli"
      " (1M..1G) whose figure it raises by at most 5 % and 2 % (by the largest burst seen):")
for (kind, after_settle), b in bursts.items():
    worst = max(b)
    fair = {}
    for limit in (1.05, 1.02):
        fit = [s for s in (2 ** k for k in range(0, 11)) if s > worst and s / (s - worst) <= limit]
        fair[limit] = f"{fit[0]}M" if fit else "none up to 1G"
    print(f"  {kind:13} {'settled just before' if after_settle else 'plain':20}"
          f" median {statistics.median(b):5.1f}, {min(b):5.1f}..{worst:5.1f}"
          f"  5 %: {fair[1.05]}, 2 %: {fair[1.02]}")

# The throttle's steps: bytes read by the device in the first 300 ms of a direct read.
prepare(256)
fd = os.open(path, os.O_RDONLY | os.O_DIRECT)
settle_outside()
time.sleep(0.5)
samples = []
start = time.monotonic()
first = counters()[2]
pid = os.fork()
if pid == 0:
    for i in range(256):
        os.preadv(fd, [direct_buffer], i * MiB)
    os._exit(0)
while time.monotonic() - start < 0.3:
    samples.append((time.monotonic() - start, (counters()[2] - first) / MiB))
    time.sleep(0.002)
os.waitpid(pid, 0)
os.close(fd)
marks = (0.005, 0.01, 0.02, 0.05, 0.09, 0.11, 0.15, 0.19, 0.21, 0.25, 0.29)
print("\ndirect read of 256 MiB, device MiB read by: " + ", ".join(
    f"{m * 1000:.0f} ms {min(samples, key=lambda s: abs(s[0] - m))[1]:.0f}" for m in marks))
os.unlink(path)
PY
