#!/usr/bin/env bash
# End-to-end benchmark of `qmx cov` against R (read.csv + cor) and numpy (loadtxt + corrcoef)
# on the same CSV files of 1e6 and 1e7 rows x 10 numeric columns. Reports wall time, rows/s,
# MB/s and peak RSS (from /usr/bin/time -v) as a markdown table on stdout; logs on stderr.
#
# Usage: bench/e2e/cov_bench.sh [ROWS...]        (default: 1000000 10000000)
# Environment: QMX_BENCH_DIR (generated files, default /tmp/qmx_cov_bench; never in git),
#              QMX_BENCH_TIMEOUT (seconds per R / numpy run, default 1200),
#              QMX_BENCH_SKIP_R=1 / QMX_BENCH_SKIP_NUMPY=1 to leave one out.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${QMX_BENCH_DIR:-/tmp/qmx_cov_bench}
timeout_s=${QMX_BENCH_TIMEOUT:-1200}
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1000000 10000000)
mkdir -p "$work"

log() { echo "[cov_bench] $*" >&2; }

# Release build of the CLI and the library (benchmark programs are not needed here).
log "building qmx (Release)"
cmake --preset release -DQMX_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release -j2 --target qmx qmxmisc >/dev/null
qmx="$root/build/release/tools/qmx/qmx"

cols="x1,x2,x3,x4,x5,x6,x7,x8,x9,x10"
rows_out=()

# measure NAME ROWS FILE -- command...: runs the command under /usr/bin/time -v and appends
# a table row; a run that fails or times out is reported as such.
measure() {
  local name=$1 rows=$2 file=$3
  shift 4
  local tfile="$work/time_${name}_${rows}.txt"
  local status=0
  timeout "$timeout_s" /usr/bin/time -v "$@" 2>"$tfile" >/dev/null || status=$?
  if [ $status -ne 0 ]; then
    log "$name at $rows rows: exit status $status (124 = timeout after ${timeout_s}s)"
    rows_out+=("| $name | $rows | failed (status $status) | | | |")
    return
  fi
  local wall rss mb
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$tfile")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$tfile")
  mb=$(stat -c %s "$file" | awk '{printf "%.1f", $1/1e6}')
  rows_out+=("$(awk -v n="$name" -v r="$rows" -v w="$wall" -v k="$rss" -v m="$mb" \
    'BEGIN {printf "| %s | %d | %.2f | %.0f | %.1f | %.1f |", n, r, w, r/w, m/w, k/1024}')")
  log "$name at $rows rows: ${wall}s, peak RSS ${rss} kB"
}

for rows in "${sizes[@]}"; do
  file="$work/cov_${rows}.csv"
  if [ ! -s "$file" ]; then
    log "generating $file"
    /usr/bin/python3 "$here/make_csv.py" "$rows" --cols 10 -o "$file"
  fi
  cat "$file" >/dev/null  # warm the page cache so every tool reads from memory
  measure "qmx cov" "$rows" "$file" -- "$qmx" cov "$file" --target "$cols" --with "$cols" --format csv
  "$qmx" cov "$file" --target "$cols" --with "$cols" --format csv >"$work/qmx_${rows}.out"
  if [ "${QMX_BENCH_SKIP_NUMPY:-0}" != 1 ]; then
    measure "numpy loadtxt+corrcoef" "$rows" "$file" -- /usr/bin/python3 "$here/cov_numpy.py" "$file" "$work/numpy_${rows}.out"
    # Check the answer once against numpy (untimed).
    [ -s "$work/numpy_${rows}.out" ] && "$here/cov_compare.py" "$work/qmx_${rows}.out" "$work/numpy_${rows}.out" 1e-9 >&2 ||
      log "qmx and numpy differ at $rows rows"
  fi
  if [ "${QMX_BENCH_SKIP_R:-0}" != 1 ]; then
    measure "R read.csv+cor" "$rows" "$file" -- Rscript "$here/cov_r.R" "$file" "$work/r_${rows}.out"
    [ -s "$work/r_${rows}.out" ] && "$here/cov_compare.py" "$work/qmx_${rows}.out" "$work/r_${rows}.out" 1e-9 >&2 ||
      log "qmx and R differ at $rows rows"
  fi
done

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/Mem:/ {print $2}') GB RAM; $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "qmx cov: 10 targets x 10 columns (100 pairs), default chunk of 1000 rows; files in the page cache."
echo
echo "| tool | rows | wall s | rows/s | MB/s | peak RSS MB |"
echo "|---|---|---|---|---|---|"
printf '%s\n' "${rows_out[@]}"
