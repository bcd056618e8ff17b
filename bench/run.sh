#!/usr/bin/env bash
# Benchmark (not a test): generates tables of 100,000, 1,000,000 and 10,000,000
# rows (integer key, short text, integer, real, longer text) and measures, in
# one run, opening each into the table window's grid, the TXT export through the
# grid walk, and peak memory, beside a raw ODBC fetch of the same rows with the
# same connection string and the sqlite3 shell writing the same tab-separated text.
#   bash bench/run.sh [SIZES...]     (default: 100000 1000000 10000000)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh" >/dev/null
bin="$here/build/bench"
out="$here/bench/out"
mkdir -p "$out"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000 10000000)

measure() { /usr/bin/time -f "%e %M" -o "$out/time.txt" "$@" >"$out/stdout.txt" 2>"$out/stderr.txt"; }

printf '%-9s | %-24s | %-26s | %-30s | %-12s | %-10s | %-8s | %s\n' rows "raw fetch s / MB" "open s / MB (ratio)" \
  "TXT export s / MB (ratio)" "sqlite3 s" "same bytes" "scroll s" "commit ms"
for n in "${sizes[@]}"; do
  db="$out/t$n.db"
  if [ "$(sqlite3 "$db" 'SELECT count(*) FROM t' 2>/dev/null || echo 0)" != "$n" ]; then
    rm -f "$db"
    sqlite3 "$db" "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;
      CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, qty INTEGER, price REAL, note TEXT);
      WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < $n)
      INSERT INTO t SELECT i, 'name ' || i, i % 1000, i * 0.25, 'a somewhat longer text for row number ' || i FROM s;" >/dev/null
  fi
  cat "$db" > /dev/null # the same warm page cache for everyone

  read -r raw_s _ raw_mb _ < <("$bin/bench_raw_fetch" "$db" t)
  read -r open_s _ scroll_s open_mb commit_ms < <("$bin/bench_open_grid" "$db" t 2>/dev/null)
  read -r exp_s _ exp_mb < <("$bin/bench_export_txt" "$db" t "$out/ours.txt" 2>/dev/null)
  write_s=$("$bin/bench_write_bytes" "$out/ours.txt" "$out/copy.txt")
  measure sqlite3 -header -separator $'\t' -newline $'\t\r\n' "$db" "SELECT * FROM t;"
  mv "$out/stdout.txt" "$out/shell.txt"
  read -r shell_s _ < "$out/time.txt"
  same=$(cmp -s "$out/ours.txt" "$out/shell.txt" && echo yes || echo NO)
  rm -f "$out/ours.txt" "$out/copy.txt" "$out/shell.txt"

  ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
  printf '%-9s | %-24s | %-26s | %-30s | %-12s | %-10s | %-8s | %s\n' "$n" \
    "$raw_s / $raw_mb" \
    "$open_s / $open_mb ($(ratio "$open_s" "$raw_s"), $(ratio "$open_mb" "$raw_mb"))" \
    "$exp_s / $exp_mb ($(ratio "$exp_s" "$(awk -v a="$raw_s" -v b="$write_s" 'BEGIN{print a+b}')"), $(ratio "$exp_mb" "$raw_mb"))" \
    "$shell_s" "$same" "$scroll_s" "$commit_ms"
done
cat <<'NOTE'

open: the chooser's "Next >" until the grid's first rows are painted; ratios against the raw fetch (time, memory).
TXT export: through the grid walk; time ratio against raw fetch + writing the same bytes, memory against the raw fetch.
scroll: worst time to paint the grid after jumping to the last, middle and 20 random rows.
commit: worst time to edit a cell and commit its row, near the table's start and near its end.
Targets: 1,000,000 rows: open <= 1.3, export <= 1.3, memory <= 1.5; 10,000,000 rows: first paint <= 0.5 s, peak < 300 MB, commit < 50 ms.
NOTE
