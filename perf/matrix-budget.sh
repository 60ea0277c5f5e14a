#!/bin/sh
# What a matrix costs: the default matrix (five configurations, blocks 1,4,16,64,256, every
# chunk size) at --file-size 16M in the page-cache mode with --repeat auto, timed whole; and a
# cell against the same iteration run alone, in pairs: `orvane-cli matrix` of one buffered
# configuration at one block size (eleven cells) beside `orvane-cli` with that method, both boxes
# and that block size (eleven iterations), alternating, judged by the median of the per-pair
# ratios of their wall times. Prints seconds and ratios; the budgets are 600 s and 1.05.
#
#   perf/matrix-budget.sh [ORVANE_CLI]      PAIRS=5 by default; FULL=0 skips the whole matrix
set -eu
cli=${1:-build/cli/orvane-cli}
pairs=${PAIRS:-5}
dir=$(mktemp -d "${TMPDIR:-/tmp}/orvane-matrix-budget.XXXXXX")
trap 'rm -rf "$dir"' EXIT INT TERM
export XDG_DATA_HOME="$dir/history"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { print b - a }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

if [ "${FULL:-1}" != 0 ]; then
    start=$(now)
    "$cli" matrix --dir "$dir" --file-size 16M --repeat auto --format json \
        --output "$dir/matrix.json" --no-history
    end=$(now)
    whole=$(elapsed "$start" "$end")
    python3 - "$dir/matrix.json" "$whole" <<'PY'
import json, sys
m = json.load(open(sys.argv[1]))
cells = {}
for c in m["cells"]:
    key = (c["configuration"], c["block_bytes"], None if c["chunk_independent"] else c["chunk_bytes"])
    cells[key] = max(cells.get(key, 0), len(c["duration_samples_s"]))
iterations = sum(cells.values())
steady = sum(1 for c in m["cells"] if c["steady"])
print(f"default matrix, 16M, --repeat auto: {float(sys.argv[2]):.1f} s for {len(cells)} cells "
      f"and {iterations} iterations ({iterations / len(cells):.2f} repeats a cell); "
      f"{steady} of {len(m['cells'])} cell figures steady; budget 600 s")
PY
fi

# A cell against the same iteration in a run, for two configurations.
for case in "win32 256" "mmio 16"; do
    method=${case% *} block=${case#* }
    ratios=""
    for pair in $(seq "$pairs"); do
        start=$(now)
        "$cli" matrix --dir "$dir" --file-size 16M --configurations "$method-buffered" \
            --block-sizes "$block" --format csv --no-history >/dev/null
        middle=$(now)
        "$cli" --dir "$dir" --file-size 16M --method "$method" --write-buffered --read-buffered \
            --block-size "$block" --format csv --no-history >/dev/null
        end=$(now)
        matrix=$(elapsed "$start" "$middle")
        run=$(elapsed "$middle" "$end")
        ratio=$(awk -v m="$matrix" -v r="$run" 'BEGIN { print m / r }')
        printf '%s-buffered, block %s, pair %s: matrix %.2f s, run %.2f s, ratio %.3f\n' \
            "$method" "$block" "$pair" "$matrix" "$run" "$ratio"
        ratios="$ratios$ratio
"
    done
    printf '%s-buffered, block %s: median ratio of a cell to a run'"'"'s iteration %.3f (budget 1.05)\n' \
        "$method" "$block" "$(printf '%s' "$ratios" | median)"
done
