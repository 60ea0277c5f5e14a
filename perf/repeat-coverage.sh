#!/bin/sh
# Whether `--repeat auto` keeps its word: RUNS whole runs of orvane-cli with --repeat auto in
# each of two modes (the page cache, the default; and --durable --cold), taking turns, then
# per mode: how many samples each row took, how many rows reached the target, and how often
# a later run's median falls inside an earlier run's confidence interval of the same row.
#
# That last share is not the interval's level: the level is the chance that the interval
# holds the true median, while a later run's median is itself a sample with its own scatter,
# so even with every sample from one unchanging distribution it lands inside less often. The
# script therefore also gives that share for samples that are exactly independent and alike
# (found by simulation, which needs no assumption about the distribution: only ranks matter),
# for the same sample counts; a share far below it says that the runs differ from each other
# by more than their samples vary within a run (drift, or a machine that changes state).
#
#   perf/repeat-coverage.sh [ORVANE_CLI [DIR]]    RUNS=5, FILE_SIZE=64M, TARGET=5 (per cent),
#   KEEP=DIR to keep every run's JSON there
set -eu

cli=${1:-build/cli/orvane-cli}
base=${2:-/var/tmp}
runs=${RUNS:-5}
size=${FILE_SIZE:-64M}
target=${TARGET:-5}
command -v python3 >/dev/null || { echo "python3 is needed" >&2; exit 1; }
XDG_DATA_HOME=$(mktemp -d "${TMPDIR:-/tmp}/orvane-history.XXXXXX")
export XDG_DATA_HOME
dir=$(mktemp -d "$base/orvane-coverage-XXXXXX")
out=$(mktemp -d "${TMPDIR:-/tmp}/orvane-coverage-out.XXXXXX")
trap 'rm -rf "$dir" "$out" "$XDG_DATA_HOME"' EXIT
trap 'exit 130' INT TERM
echo "file system: $(df -T "$dir" | awk 'NR == 2 { print $2 " on " $1 }'), kernel $(uname -r)," \
    "cores $(nproc), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "runs per mode: $runs, file $size, win32 with both buffers, block size 256," \
    "--repeat auto --target $target"

i=1
while [ "$i" -le "$runs" ]; do
    for mode in cache device; do
        set -- --repeat auto --target "$target"
        [ "$mode" = device ] && set -- "$@" --durable --cold
        start=$(date +%s.%N)
        "$cli" --method win32 --write-buffered --read-buffered --block-size 256 \
            --file-size "$size" --dir "$dir" --no-history --format json "$@" >"$out/$mode-$i.json"
        echo "  $mode run $i: $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s" >&2
    done
    i=$((i + 1))
done

# KEEP=DIR keeps every run's JSON for a later look.
[ -z "${KEEP:-}" ] || { mkdir -p "$KEEP" && cp "$out"/* "$KEEP"/; }
python3 - "$out" "$runs" <<'PY'
import json, random, statistics, sys

out, runs = sys.argv[1], int(sys.argv[2])
random.seed(1)  # the simulation's figures are the same every time

def interval_ranks(n):
    """The ranks orvane-cli's interval uses for n samples (bench/Statistics.cpp)."""
    from math import comb
    k, best = 1, 1 - 2 * 0.5 ** n
    while 2 * (k + 1) <= n + 1:
        c = 1 - 2 * sum(comb(n, i) for i in range(k + 1)) * 0.5 ** n
        if c < 0.95:
            break
        k, best = k + 1, c
    return k, n + 1 - k, best

def median(xs):
    xs = sorted(xs)
    n = len(xs)
    return xs[n // 2] if n % 2 else (xs[n // 2 - 1] + xs[n // 2]) / 2

expected_cache = {}
def expected(n1, n2, draws=20000):
    """P(the median of n2 samples lies in the interval of n1), all from one distribution."""
    if (n1, n2) not in expected_cache:
        low, high, _ = interval_ranks(n1)
        hits = 0
        for _ in range(draws):
            first = sorted(random.random() for _ in range(n1))
            hits += first[low - 1] <= median([random.random() for _ in range(n2)]) <= first[high - 1]
        expected_cache[n1, n2] = hits / draws
    return expected_cache[n1, n2]

for mode, title in (("cache", "page cache (default mode)"), ("device", "--durable --cold")):
    docs = [json.load(open(f"{out}/{mode}-{i}.json")) for i in range(1, runs + 1)]
    print(f"\n== {title}, {runs} runs ==")
    rows = {}
    for d in docs:
        for r in d["rows"]:
            rows.setdefault((r["pass"], r["chunk"]), []).append(r)
    counts = [len(r["duration_samples_s"]) for rs in rows.values() for r in rs]
    steady = [r["steady"] for rs in rows.values() for r in rs]
    levels = [r["ci_level"] for rs in rows.values() for r in rs]
    print(f"samples per row: median {statistics.median(counts)}, {min(counts)}..{max(counts)};"
          f" by count: " + ", ".join(f"{n}: {counts.count(n)}" for n in sorted(set(counts))))
    print(f"rows steady: {sum(steady)} of {len(steady)}; per run: " +
          ", ".join(f"{sum(r['steady'] for r in d['rows'])}/{len(d['rows'])}" for d in docs))
    print(f"ci_level: " + ", ".join(f"{v:.4f}: {levels.count(v)}" for v in sorted(set(levels))))
    print("row        | samples per run | median MiB/s of the runs (max/min) | stated +-% run 1 |"
          " later medians in run 1's interval")
    first_hits = first_total = 0
    pair_hits = pair_total = 0
    pair_expected = []
    by_count = {}  # the interval's sample count: [inside, total, expected with alike samples]
    for (name, chunk), rs in rows.items():
        mibs = [r["throughput_kib_per_s"] / 1024 for r in rs]
        half = (rs[0]["ci_high_kib_per_s"] - rs[0]["ci_low_kib_per_s"]) / 2 / rs[0]["throughput_kib_per_s"] * 100
        inside = [rs[0]["ci_low_kib_per_s"] <= r["throughput_kib_per_s"] <= rs[0]["ci_high_kib_per_s"]
                  for r in rs[1:]]
        first_hits += sum(inside)
        first_total += len(inside)
        for i, a in enumerate(rs):
            for j, b in enumerate(rs):
                if i != j:
                    hit = a["ci_low_kib_per_s"] <= b["throughput_kib_per_s"] <= a["ci_high_kib_per_s"]
                    chance = expected(len(a["duration_samples_s"]), len(b["duration_samples_s"]))
                    pair_total += 1
                    pair_hits += hit
                    pair_expected.append(chance)
                    tally = by_count.setdefault(len(a["duration_samples_s"]), [0, 0, 0.0])
                    tally[0] += hit
                    tally[1] += 1
                    tally[2] += chance
        print(f"{name:5} {chunk:>4} | {' '.join(str(len(r['duration_samples_s'])) for r in rs):15} |"
              f" {' '.join(f'{m:6.0f}' for m in mibs)} ({max(mibs) / min(mibs):4.2f}) |"
              f" {half:5.1f} | {sum(inside)}/{len(inside)}")
    print(f"later runs' medians inside run 1's interval: {first_hits} of {first_total}"
          f" ({first_hits / first_total * 100:.0f} %)")
    print(f"any run's median inside any other run's interval: {pair_hits} of {pair_total}"
          f" ({pair_hits / pair_total * 100:.0f} %); with independent, alike samples"
          f" {statistics.mean(pair_expected) * 100:.0f} %; stated level {statistics.mean(levels) * 100:.0f} %")
    for n, (hits, total, chance) in sorted(by_count.items()):
        print(f"  intervals of {n} samples (level {interval_ranks(n)[2] * 100:.2f} %):"
              f" {hits} of {total} ({hits / total * 100:.0f} %), with alike samples"
              f" {chance / total * 100:.0f} %")
PY
