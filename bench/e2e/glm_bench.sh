#!/usr/bin/env bash
# End-to-end benchmark of `qmx fit lm` and `qmx fit glm --family binomial` against R
# (read.csv + lm/glm) and statsmodels (pandas read_csv + smf.ols/smf.glm) on the same CSV
# files of 1e6 and 1e7 rows x (10 numeric + 2 factor predictors), from make_glm_csv.py.
# Model: y ~ x1 + ... + x10 + f1 + f2 (lm) and b ~ the same (binomial glm, logit link).
# Checks first that qmx's ten numeric slopes and residual deviance agree with R's (and
# statsmodels') to 1e-6 relative (the factor coding differs between the tools; the numeric
# slopes and the deviance do not depend on it), then prints a markdown table of wall time,
# CPU time (user + system) and peak RSS (from /usr/bin/time -v) on stdout; logs on stderr.
#
# Usage: bench/e2e/glm_bench.sh [ROWS...]        (default: 1000000 10000000)
# Environment: QMX_BENCH_DIR (generated files, default /tmp/qmx_glm_bench; never in git),
#              QMX_BENCH_TIMEOUT (seconds per R / statsmodels run, default 1200),
#              QMX_BENCH_SKIP_R=1 / QMX_BENCH_SKIP_SM=1 to leave one out,
#              QMX_BENCH_EPSILON (qmx glm --epsilon, default 1e-8 as R's glm.control).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${QMX_BENCH_DIR:-/tmp/qmx_glm_bench}
timeout_s=${QMX_BENCH_TIMEOUT:-1200}
epsilon=${QMX_BENCH_EPSILON:-1e-8}
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1000000 10000000)
mkdir -p "$work"
export OPENBLAS_NUM_THREADS=1

log() { echo "[glm_bench] $*" >&2; }

# Release build of the CLI and the library.
log "building qmx (Release)"
cmake --preset release -DQMX_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release -j2 --target qmx qmxmisc >/dev/null
qmx="$root/build/release/tools/qmx/qmx"

rhs="x1 + x2 + x3 + x4 + x5 + x6 + x7 + x8 + x9 + x10 + f1 + f2"
rows_out=()
declare -A wall_of cpu_of rss_of

# measure NAME KIND ROWS STDOUT -- command...: runs the command under /usr/bin/time -v with
# its stdout in the file STDOUT, records wall, CPU and peak RSS under NAME/KIND/ROWS and
# appends a table row; a run that fails or times out is reported as such.
measure() {
  local name=$1 kind=$2 rows=$3 stdout=$4
  shift 5
  local key="$name/$kind/$rows"
  local tfile="$work/time_${name// /_}_${kind}_${rows}.txt"
  local status=0
  timeout "$timeout_s" /usr/bin/time -v "$@" 2>"$tfile" >"$stdout" || status=$?
  if [ $status -ne 0 ]; then
    log "$key: exit status $status (124 = timeout after ${timeout_s}s)"
    rows_out+=("| $kind | $name | $rows | failed (status $status) | | | |")
    return
  fi
  local wall cpu rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$tfile")
  cpu=$(awk -F': ' '/User time|System time/ {s+=$2} END {print s}' "$tfile")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$tfile")
  wall_of[$key]=$wall
  cpu_of[$key]=$cpu
  rss_of[$key]=$rss
  rows_out+=("$(awk -v k="$kind" -v n="$name" -v r="$rows" -v w="$wall" -v c="$cpu" -v m="$rss" \
    'BEGIN {printf "| %s | %s | %d | %.2f | %.2f | %.0f | %.1f |", k, n, r, w, c, r/w, m/1024}')")
  log "$key: ${wall}s wall, ${cpu}s CPU, peak RSS ${rss} kB"
}

# qmx_estimates SUMMARY MODEL OUT: the numeric slopes from qmx's CSV coefficient table
# (--summary-format csv) and the residual deviance (DevCell "Error" of the fitted document),
# in the term,estimate format of glm_r.R.
qmx_estimates() {
  {
    awk -F, 'BEGIN { print "term,estimate" } $1 ~ /^x[0-9]+$/ { print $1 "," $2 }' "$1"
    sed -n 's/.*<DevCell source="Error"[^>]* dev="\([^"]*\)".*/deviance,\1/p' "$2"
  } >"$3"
}

# compare A B TOL: largest relative difference of the estimate columns; fails above TOL.
compare() {
  awk -F, -v tol="$3" '
    FNR == 1 { next }
    NR == FNR { a[$1] = $2; next }
    {
      if (!($1 in a)) { print "missing " $1; bad = 1; next }
      d = a[$1] - $2; if (d < 0) d = -d
      s = $2 < 0 ? -$2 : $2
      r = s > 0 ? d / s : d
      if (r > worst) worst = r
      n++
    }
    END {
      printf "largest relative difference %.3g over %d values\n", worst, n
      exit (bad || n != 11 || worst > tol)
    }' "$1" "$2"
}

# set_qmx_args KIND FILE: the qmx command line of one fit (sets the array qmx_args).
set_qmx_args() {
  if [ "$1" = lm ]; then
    qmx_args=(fit lm "$2" --formula "y ~ $rhs" --summary-format csv)
  else
    qmx_args=(fit glm "$2" --formula "b ~ $rhs" --family binomial --epsilon "$epsilon"
      --max-iterations 25 --summary-format csv)
  fi
}

# The answers first, on a 100000-row file: qmx's slopes and deviance must agree with R's
# before anything is timed.
check_file="$work/glm_check_100000.csv"
[ -s "$check_file" ] || /usr/bin/python3 "$here/make_glm_csv.py" 100000 --seed 7 -o "$check_file"
for kind in lm glm; do
  set_qmx_args $kind "$check_file"
  "$qmx" "${qmx_args[@]}" -o "$work/check_${kind}.xml" \
    >"$work/check_qmx_${kind}.csv" 2>/dev/null
  qmx_estimates "$work/check_qmx_${kind}.csv" "$work/check_${kind}.xml" "$work/check_qmx_${kind}.out"
  Rscript "$here/glm_r.R" $kind "$check_file" "$work/check_r_${kind}.out"
  result=$(compare "$work/check_qmx_${kind}.out" "$work/check_r_${kind}.out" 1e-6) ||
    { log "qmx and R differ ($kind, 100000 rows): $result"; exit 1; }
  log "check qmx vs R, $kind, 100000 rows: $result"
done

checks=()
for rows in "${sizes[@]}"; do
  file="$work/glm_${rows}.csv"
  if [ ! -s "$file" ]; then
    log "generating $file"
    /usr/bin/python3 "$here/make_glm_csv.py" "$rows" -o "$file"
  fi
  for kind in lm glm; do
    set_qmx_args $kind "$file"
    cat "$file" >/dev/null  # warm the page cache so every tool reads from memory
    measure "qmx" $kind "$rows" "$work/qmx_${kind}_${rows}.csv" -- "$qmx" "${qmx_args[@]}" \
      -o "$work/qmx_${kind}_${rows}.xml"
    qmx_estimates "$work/qmx_${kind}_${rows}.csv" "$work/qmx_${kind}_${rows}.xml" \
      "$work/qmx_${kind}_${rows}.out"
    if [ "${QMX_BENCH_SKIP_R:-0}" != 1 ]; then
      measure "R" $kind "$rows" /dev/null -- Rscript "$here/glm_r.R" $kind "$file" "$work/r_${kind}_${rows}.out"
      if [ -s "$work/r_${kind}_${rows}.out" ]; then
        result=$(compare "$work/qmx_${kind}_${rows}.out" "$work/r_${kind}_${rows}.out" 1e-6) ||
          result="DIFFER (above 1e-6): $result"
        checks+=("qmx vs R, $kind, $rows rows: $result")
      fi
    fi
    if [ "${QMX_BENCH_SKIP_SM:-0}" != 1 ]; then
      measure "statsmodels" $kind "$rows" /dev/null -- /usr/bin/python3 "$here/glm_statsmodels.py" $kind \
        "$file" "$work/sm_${kind}_${rows}.out"
      if [ -s "$work/sm_${kind}_${rows}.out" ]; then
        result=$(compare "$work/qmx_${kind}_${rows}.out" "$work/sm_${kind}_${rows}.out" 1e-6) ||
          result="DIFFER (above 1e-6): $result"
        checks+=("qmx vs statsmodels, $kind, $rows rows: $result")
      fi
    fi
  done
done

# ratio NUM DEN: NUM/DEN to three significant digits, or "-" when either is missing.
ratio() { [ -n "${1:-}" ] && [ -n "${2:-}" ] && awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3g", a/b}' || echo "-"; }

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/Mem:/ {print $2}') GB RAM; $(date -u '+%Y-%m-%d %H:%M UTC'); load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Model: 10 numeric + 2 factor (4 and 6 levels) predictors; qmx default chunk of 1000 rows; glm --epsilon $epsilon."
printf '%s\n' "${checks[@]}"
echo
echo "| model | tool | rows | wall s | CPU s | rows/s (wall) | peak RSS MB |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${rows_out[@]}"
echo
echo "| model | rows | wall qmx/R | wall qmx/statsmodels | CPU qmx/R | CPU qmx/statsmodels | RSS qmx/R | RSS qmx/statsmodels |"
echo "|---|---|---|---|---|---|---|---|"
for rows in "${sizes[@]}"; do
  for kind in lm glm; do
    q="qmx/$kind/$rows" r="R/$kind/$rows" s="statsmodels/$kind/$rows"
    echo "| $kind | $rows | $(ratio "${wall_of[$q]:-}" "${wall_of[$r]:-}") | $(ratio "${wall_of[$q]:-}" "${wall_of[$s]:-}") | $(ratio "${cpu_of[$q]:-}" "${cpu_of[$r]:-}") | $(ratio "${cpu_of[$q]:-}" "${cpu_of[$s]:-}") | $(ratio "${rss_of[$q]:-}" "${rss_of[$r]:-}") | $(ratio "${rss_of[$q]:-}" "${rss_of[$s]:-}") |"
  done
done
