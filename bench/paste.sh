#!/usr/bin/env bash
# Benchmark (not a test): pasting 100,000 rows of five columns into the grid
# of the 10,000,000-row table of bench/run.sh (over existing rows, then as
# new rows), undoing each, and a paste with one row refused in its middle
# against one while another program wrote elsewhere (each on a fresh copy);
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
field() { echo "$1" | awk -v k="$2" '{ for (i = 1; i < NF; ++i) if ($i == k) { print $(i + 1); exit } }'; }
for run in 1 2 3; do
  cp "$source_db" "$copy" && sync "$copy" # (written out: the paste's one fsync is its own)
  line=$("$here/build/bench/bench_paste" "$copy" t 2>/dev/null)
  # The two pastes compared, each on a fresh copy.
  cp "$source_db" "$copy" && sync "$copy" # (written out: the paste's one fsync is its own)
  other=$("$here/build/bench/bench_paste" "$copy" t other 2>/dev/null)
  cp "$source_db" "$copy" && sync "$copy" # (written out: the paste's one fsync is its own)
  refused=$("$here/build/bench/bench_paste" "$copy" t refused 2>/dev/null)
  ratio=$(awk -v a="$(field "$refused" paste_one_refused)" -v b="$(field "$other" paste_other_wrote)" 'BEGIN { printf "%.2f", a / b }')
  echo "run $run: $line"
  echo "  $other; $refused; one refused x$ratio of none refused while another program wrote"
  echo "  targets: paste_over <= 3 s, undo_over <= 3 s, paste_new <= 3 s, one refused <= x1.10, peak_mb < 200"
done
rm -f "$copy"
