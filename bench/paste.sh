#!/usr/bin/env bash
# Benchmark (not a test): pasting 100,000 rows of five columns into the grid
# of the 10,000,000-row table of bench/run.sh (over existing rows, then as
# new rows), undoing each, and a paste with one row refused in its middle;
# three runs, each on a fresh copy of the table.
#   bash bench/paste.sh [ROWS]      (default 10000000; run bench/run.sh first)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh" >/dev/null
n="${1:-10000000}"
source_db="$here/bench/out/t$n.db"
[ -f "$source_db" ] || { echo "no $source_db: run bench/run.sh $n first" >&2; exit 1; }
copy="$here/bench/out/paste$n.db"
for run in 1 2 3; do
  cp "$source_db" "$copy"
  line=$("$here/build/bench/bench_paste" "$copy" t 2>/dev/null)
  echo "run $run: $line"
  echo "  targets: paste_over <= 3 s, undo_over <= 3 s, paste_new <= 3 s, one refused <= x1.10 (of none refused while another program wrote), peak_mb < 200"
done
rm -f "$copy"
