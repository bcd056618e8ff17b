#!/usr/bin/env bash
# Benchmark (not a test): sorting, filtering and finding in the grid on the
# 10,000,000-row table of bench/run.sh (a copy with an index on qty, none on
# name), three runs, each beside the sqlite3 shell doing the same work.
#   bash bench/sort_filter.sh [ROWS]      (default 10000000; run bench/run.sh first, or it is made here)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh" >/dev/null
bin="$here/build/bench"
out="$here/bench/out"
mkdir -p "$out"
n="${1:-10000000}"
db="$out/sf$n.db"
if [ "$(sqlite3 "$db" "SELECT count(*) FROM sqlite_master WHERE name = 't_qty'" 2>/dev/null || echo 0)" != 1 ]; then
  rm -f "$db"
  sqlite3 "$db" "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;
    CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, qty INTEGER, price REAL, note TEXT);
    WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < $n)
    INSERT INTO t SELECT i, 'name ' || i, i % 1000, i * 0.25, 'a somewhat longer text for row number ' || i FROM s;
    CREATE INDEX t_qty ON t(qty);" >/dev/null
fi
cat "$db" > /dev/null
last=$((n - 9999))
wide="name 99"        # about 1 % of the rows
narrow="424242"       # about 2 rows in a million
find="name $last"     # near the end
shell() { local s; s=$( { /usr/bin/time -f "%e" sqlite3 "$@" > "$out/shell.out"; } 2>&1 | tail -1); echo "$s"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b) ? "met" : "NOT met" }'; }
field() { echo "$1" | awk -v k="$2" '{ for (i = 1; i < NF; ++i) if ($i == k) { print $(i + 1); exit } }'; }
any_cell="CAST(id AS TEXT) LIKE '%$find%' OR CAST(name AS TEXT) LIKE '%$find%' OR CAST(qty AS TEXT) LIKE '%$find%' OR CAST(price AS TEXT) LIKE '%$find%' OR CAST(note AS TEXT) LIKE '%$find%'"
for run in 1 2 3; do
  cat "$db" > /dev/null # (both sides measured with the file in the system's cache)
  line=$("$bin/bench_sort_filter" "$db" t qty name "$wide" "$narrow" "$find" "$out/sf.txt" 2>/dev/null)
  s_first=$(shell "$db" "SELECT * FROM t ORDER BY name, rowid LIMIT 100")
  s_order=$(shell "$db" "SELECT rowid FROM t ORDER BY name, rowid")
  s_narrow=$(shell "$db" "SELECT count(*) FROM t WHERE name LIKE '%$narrow%'")
  s_find=$(shell "$db" "SELECT rowid FROM t WHERE $any_cell LIMIT 1")
  # (+qty: the shell scans the table and sorts the matches, its fastest way; by the index it takes 30 s and more.)
  s_sf_order=$(shell "$db" "SELECT rowid FROM t WHERE name LIKE '%$wide%' ORDER BY +qty DESC, rowid DESC")
  s_export=$(shell -header -separator $'\t' "$db" "SELECT * FROM t WHERE name LIKE '%$wide%' ORDER BY +qty DESC, rowid DESC")
  echo "run $run: $line"
  printf '  %-44s %8s  %s\n' "target" "ours s" "against"
  t() { printf '  %-44s %8s  %s\n' "$1" "$2" "$3"; }
  t "indexed sort: first rows (0.3 s)" "$(field "$line" indexed_first)" "$(verdict "$(field "$line" indexed_first)" 0.3)"
  t "indexed sort: Ctrl+End (0.3 s)" "$(field "$line" indexed_end)" "$(verdict "$(field "$line" indexed_end)" 0.3)"
  t "indexed sort: middle (0.3 s)" "$(field "$line" indexed_middle)" "$(verdict "$(field "$line" indexed_middle)" 0.3)"
  t "plain sort: first rows (1.2 x shell LIMIT 100)" "$(field "$line" plain_first)" "shell $s_first, x$(ratio "$(field "$line" plain_first)" "$s_first")"
  t "plain sort: order ready (1.2 x shell)" "$(field "$line" plain_ready)" "shell $s_order, x$(ratio "$(field "$line" plain_ready)" "$s_order")"
  t "plain sort: worst repaint gap ms (100)" "$(field "$line" plain_gap_ms)" "$(verdict "$(field "$line" plain_gap_ms)" 100)"
  t "another program's write meanwhile, worst ms" "$(field "$line" writer_wait_ms)" "(-1: a write failed)"
  t "plain sort: middle once ready (0.3 s)" "$(field "$line" plain_middle)" "$(verdict "$(field "$line" plain_middle)" 0.3)"
  t "Esc while building (0.2 s)" "$(field "$line" esc)" "$(verdict "$(field "$line" esc)" 0.2)"
  t "filter ~1 %: first rows (0.3 s)" "$(field "$line" filter_first)" "$(verdict "$(field "$line" filter_first)" 0.3)"
  narrow_ready=$(echo "$line" | awk '{ n = 0; for (i = 1; i < NF; ++i) if ($i == "filter_ready" && ++n == 2) print $(i + 1) }')
  t "filter 2 in a million (1.2 x shell count)" "$narrow_ready" "shell $s_narrow, x$(ratio "$narrow_ready" "$s_narrow")"
  t "Find Next to near the end (1.2 x shell)" "$(field "$line" find)" "shell $s_find, x$(ratio "$(field "$line" find)" "$s_find")"
  t "sorted by qty, filtered ~1 %: order ready" "$(field "$line" sorted_filtered_ready)" "shell $s_sf_order, x$(ratio "$(field "$line" sorted_filtered_ready)" "$s_sf_order") (no target)"
  t "TXT export, sorted and filtered (1.2 x shell)" "$(field "$line" export)" "shell $s_export, x$(ratio "$(field "$line" export)" "$s_export")"
  t "peak MB (200)" "$(field "$line" peak_mb)" "$(verdict "$(field "$line" peak_mb)" 200)"
done
rm -f "$out/shell.out" "$out/sf.txt"
