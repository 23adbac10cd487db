#!/usr/bin/env bash
# End-to-end benchmark of the qmx commands against R and statsmodels on one file of
# make_e2e_csv.py (y, yb, count, x1..x10, factors g1 (5 levels) and g2 (3)): qmx describe,
# qmx fit lm, qmx fit glm --family binomial / poisson (all predictors) and qmx score of the
# binomial model (fitted value and link), against R (read.csv + summary/lm/glm/predict,
# e2e_r.R) and statsmodels (pandas read_csv + describe/ols/glm/predict, e2e_statsmodels.py).
# First checks on a 100000-row file that qmx's ten numeric slopes and deviances, and its
# scores, agree with R's and statsmodels' to 1e-6 (relative above 1); then runs every operation
# REPEATS times under /usr/bin/time -v and prints markdown tables of the medians (wall,
# CPU = user + system, peak RSS) and the qmx/R and qmx/statsmodels ratios on stdout; logs on
# stderr.
#
# Usage: bench/e2e/e2e_bench.sh [ROWS...]       (default: 1000000; 10000000 on request)
# Environment: QMX_BENCH_DIR (generated files, default /tmp/qmx_e2e_bench; never in git),
#              QMX_BENCH_REPEATS (default 3), QMX_BENCH_TIMEOUT (seconds per run, 1800),
#              QMX_BENCH_SKIP_R=1 / QMX_BENCH_SKIP_SM=1 to leave one out,
#              QMX_BENCH_SKIP_QMX=1 to time only R and statsmodels (a slow run kept apart),
#              QMX_BENCH_SKIP_CHECK=1 to skip the 100000-row check,
#              QMX_BENCH_INSTALL=1 to apt-get install what is missing (else it says what).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${QMX_BENCH_DIR:-/tmp/qmx_e2e_bench}
repeats=${QMX_BENCH_REPEATS:-3}
timeout_s=${QMX_BENCH_TIMEOUT:-1800}
skip_r=${QMX_BENCH_SKIP_R:-0}
skip_sm=${QMX_BENCH_SKIP_SM:-0}
skip_qmx=${QMX_BENCH_SKIP_QMX:-0}
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1000000)
mkdir -p "$work"
export OPENBLAS_NUM_THREADS=1

log() { echo "[e2e_bench] $*" >&2; }

# What the run needs: /usr/bin/time, Rscript, statsmodels and pandas for /usr/bin/python3.
missing=()
[ -x /usr/bin/time ] || missing+=(time)
[ "$skip_r" = 1 ] || command -v Rscript >/dev/null || missing+=(r-base-core)
if [ "$skip_sm" != 1 ] && ! /usr/bin/python3 -c 'import statsmodels, pandas' 2>/dev/null; then
  missing+=(python3-statsmodels python3-pandas)
fi
if [ ${#missing[@]} -gt 0 ]; then
  if [ "${QMX_BENCH_INSTALL:-0}" = 1 ]; then
    log "installing ${missing[*]}"
    apt-get install -y "${missing[@]}" >&2
  else
    log "missing Debian packages: ${missing[*]} (apt-get install -y ${missing[*]}, or run with QMX_BENCH_INSTALL=1; QMX_BENCH_SKIP_R=1 / QMX_BENCH_SKIP_SM=1 leave R / statsmodels out)"
    exit 1
  fi
fi

log "building qmx (Release)"
cmake --preset release -DQMX_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release -j2 --target qmx qmxmisc >/dev/null
qmx="$root/build/release/tools/qmx/qmx"

rhs="x1 + x2 + x3 + x4 + x5 + x6 + x7 + x8 + x9 + x10 + g1 + g2"
ops=(describe lm glm_binomial glm_poisson score)
declare -A wall_of cpu_of rss_of

# qmx_args OP FILE OUT: the qmx command line of one operation (sets the array args).
qmx_args() {
  case $1 in
    describe) args=(describe "$2") ;;
    lm) args=(fit lm "$2" --formula "y ~ $rhs" --summary-format csv -o "$3.xml") ;;
    glm_binomial | glm_poisson)
      local response=yb family=binomial
      [ "$1" = glm_poisson ] && response=count family=poisson
      args=(fit glm "$2" --formula "$response ~ $rhs" --family $family --epsilon 1e-8
        --max-iterations 25 --summary-format csv -o "$3.xml") ;;
    score) args=(score "$qmx_model" "$2" -o "$3.csv" --output response,link) ;;
  esac
}

# tool_cmd TOOL OP FILE OUT: the command of one run (sets the array cmd).
tool_cmd() {
  case $1 in
    qmx) qmx_args "$2" "$3" "$4"; cmd=("$qmx" "${args[@]}") ;;
    R) cmd=(Rscript "$here/e2e_r.R" "$2" "$3" "$4" "$work/r_model.rds") ;;
    statsmodels) cmd=(/usr/bin/python3 "$here/e2e_statsmodels.py" "$2" "$3" "$4" "$work/sm_model.pickle") ;;
  esac
}

# time_one TOOL OP ROWS FILE: REPEATS runs under /usr/bin/time -v; records the medians.
time_one() {
  local tool=$1 op=$2 rows=$3 file=$4 out="$work/${1}_${2}_${3}"
  tool_cmd "$tool" "$op" "$file" "$out"
  local walls=() cpus=() rsss=() i tfile="$work/time_${tool}_${op}_${rows}.txt" status
  for ((i = 0; i < repeats; ++i)); do
    cat "$file" >/dev/null  # the file in the page cache for every tool
    status=0
    timeout "$timeout_s" /usr/bin/time -v "${cmd[@]}" >"$out.stdout" 2>"$tfile" || status=$?
    if [ $status -ne 0 ]; then
      log "$tool $op $rows: exit status $status (124 = timeout); $(tail -3 "$tfile" | tr '\n' ' ')"
      return
    fi
    walls+=("$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$tfile")")
    cpus+=("$(awk -F': ' '/User time|System time/ {s+=$2} END {print s}' "$tfile")")
    rsss+=("$(awk -F': ' '/Maximum resident set size/ {print $2}' "$tfile")")
  done
  local key="$tool/$op/$rows"
  wall_of[$key]=$(printf '%s\n' "${walls[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
  cpu_of[$key]=$(printf '%s\n' "${cpus[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
  rss_of[$key]=$(printf '%s\n' "${rsss[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
  log "$key: wall ${walls[*]} s, CPU ${cpus[*]} s, RSS ${rsss[*]} kB"
}

# qmx_estimates SUMMARY.csv MODEL.xml OUT: qmx's ten slopes and residual deviance in the
# term,estimate format of e2e_r.R.
qmx_estimates() {
  {
    awk -F, 'BEGIN { print "term,estimate" } $1 ~ /^x[0-9]+$/ { print $1 "," $2 }' "$1"
    sed -n 's/.*<DevCell source="Error"[^>]* dev="\([^"]*\)".*/deviance,\1/p' "$2"
  } >"$3"
}

# compare A B TOL: the largest difference between the numbers of two CSV files of the same
# shape (header skipped), relative for numbers above 1 in size, else absolute; fails above TOL.
compare() {
  paste -d, "$1" "$2" | awk -F, -v tol="$3" '
    NR == 1 { half = NF / 2; next }
    {
      for (i = 1; i <= half; i++) {
        a = $i; b = $(i + half)
        if (a !~ /^[-+0-9.eE]+$/) { if (a != b) bad = 1; continue }
        d = a - b; if (d < 0) d = -d
        s = b < 0 ? -b : b
        r = s > 1 ? d / s : d
        if (r > worst) worst = r
        n++
      }
    }
    END {
      printf "largest difference %.3g over %d values\n", worst, n
      exit (bad || n == 0 || worst > tol)
    }'
}

# prepare FILE: the binomial models that score reads (qmx's, R's and statsmodels'), untimed.
prepare() {
  qmx_args glm_binomial "$1" "$work/score_model"
  "$qmx" "${args[@]}" >/dev/null 2>&1
  qmx_model="$work/score_model.xml"
  [ "$skip_r" = 1 ] || Rscript "$here/e2e_r.R" save_glm "$1" /dev/null "$work/r_model.rds"
  [ "$skip_sm" = 1 ] || /usr/bin/python3 "$here/e2e_statsmodels.py" save_glm "$1" /dev/null "$work/sm_model.pickle"
}

tools=(qmx)
[ "$skip_r" = 1 ] || tools+=(R)
[ "$skip_sm" = 1 ] || tools+=(statsmodels)
timed=("${tools[@]}")
[ "$skip_qmx" = 1 ] && timed=("${tools[@]:1}")

# The answers first, on a 100000-row file.
check_rows=100000
check_file="$work/e2e_check.csv"
checks=()
check_ops=(lm glm_binomial glm_poisson score)
if [ "${QMX_BENCH_SKIP_CHECK:-0}" = 1 ]; then
  check_ops=()
else
  [ -s "$check_file" ] || /usr/bin/python3 "$here/make_e2e_csv.py" $check_rows --seed 7 -o "$check_file"
  prepare "$check_file"
fi
for op in "${check_ops[@]}"; do
  for tool in "${tools[@]}"; do
    tool_cmd "$tool" "$op" "$check_file" "$work/check_${tool}_$op"
    "${cmd[@]}" >"$work/check_${tool}_$op.stdout" 2>/dev/null
  done
  if [ "$op" = score ]; then
    mine="$work/check_qmx_score.csv"
  else
    mine="$work/check_qmx_$op.est"
    qmx_estimates "$work/check_qmx_$op.stdout" "$work/check_qmx_$op.xml" "$mine"
  fi
  for tool in "${tools[@]:1}"; do
    result=$(compare "$mine" "$work/check_${tool}_$op" 1e-6) ||
      { log "qmx and $tool differ ($op, $check_rows rows): $result"; exit 1; }
    checks+=("qmx vs $tool, $op, $check_rows rows: $result")
    log "${checks[-1]}"
  done
done

for rows in "${sizes[@]}"; do
  file="$work/e2e_${rows}.csv"
  [ -s "$file" ] || { log "generating $file"; /usr/bin/python3 "$here/make_e2e_csv.py" "$rows" -o "$file"; }
  prepare "$file"
  for op in "${ops[@]}"; do
    for tool in "${timed[@]}"; do time_one "$tool" "$op" "$rows" "$file"; done
  done
done

ratio() { [ -n "${1:-}" ] && [ -n "${2:-}" ] && awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3g", a/b}' || echo "-"; }

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB RAM; $(date -u '+%Y-%m-%d %H:%M UTC'); load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Medians of $repeats runs; qmx default chunk of 1000 rows; glm --epsilon 1e-8."
printf '%s\n' "${checks[@]}"
echo
echo "| operation | tool | rows | wall s | CPU s | rows/s (wall) | peak RSS MB |"
echo "|---|---|---|---|---|---|---|"
for rows in "${sizes[@]}"; do
  for op in "${ops[@]}"; do
    for tool in "${timed[@]}"; do
      k="$tool/$op/$rows"
      if [ -z "${wall_of[$k]:-}" ]; then echo "| $op | $tool | $rows | failed | | | |"; continue; fi
      awk -v o="$op" -v t="$tool" -v r="$rows" -v w="${wall_of[$k]}" -v c="${cpu_of[$k]}" -v m="${rss_of[$k]}" \
        'BEGIN {printf "| %s | %s | %d | %.2f | %.2f | %.0f | %.1f |\n", o, t, r, w, c, r/w, m/1024}'
    done
  done
done
echo
echo "| operation | rows | wall qmx/R | wall qmx/statsmodels | CPU qmx/R | CPU qmx/statsmodels | RSS qmx/R | RSS qmx/statsmodels |"
echo "|---|---|---|---|---|---|---|---|"
for rows in "${sizes[@]}"; do
  for op in "${ops[@]}"; do
    q="qmx/$op/$rows" r="R/$op/$rows" s="statsmodels/$op/$rows"
    echo "| $op | $rows | $(ratio "${wall_of[$q]:-}" "${wall_of[$r]:-}") | $(ratio "${wall_of[$q]:-}" "${wall_of[$s]:-}") | $(ratio "${cpu_of[$q]:-}" "${cpu_of[$r]:-}") | $(ratio "${cpu_of[$q]:-}" "${cpu_of[$s]:-}") | $(ratio "${rss_of[$q]:-}" "${rss_of[$r]:-}") | $(ratio "${rss_of[$q]:-}" "${rss_of[$s]:-}") |"
  done
done
