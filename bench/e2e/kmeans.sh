#!/usr/bin/env bash
# End-to-end benchmark of `qmx fit kmeans` against scikit-learn's KMeans (n_init = 10) and R's
# kmeans (Hartigan-Wong, 10 random starts) on one CSV of ROWS rows x 10 columns drawn from a
# mixture of 8 Gaussian clusters (make_kmeans_csv.py). One run each; prints wall time, peak
# RSS (/usr/bin/time -v) and tot.withinss, and each tot.withinss over the best of the three.
#
# Usage: bench/e2e/kmeans.sh [ROWS] [RETAINED]      (default: 1000000 10000)
# Environment: QMX_BENCH_DIR (default /tmp/qmx_kmeans_bench; never in git),
#              QMX_BENCH_TIMEOUT (seconds per run, default 1800),
#              QMX_BENCH_SKIP_R=1 / QMX_BENCH_SKIP_SKLEARN=1 to leave one out.
# scikit-learn is Debian's python3-sklearn, run with /usr/bin/python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${QMX_BENCH_DIR:-/tmp/qmx_kmeans_bench}
timeout_s=${QMX_BENCH_TIMEOUT:-1800}
rows=${1:-1000000}
retained=${2:-10000}
mkdir -p "$work"
log() { echo "[kmeans_bench] $*" >&2; }

log "building qmx (Release)"
cmake --preset release -DQMX_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release -j2 --target qmx qmxmisc >/dev/null
qmx="$root/build/release/tools/qmx/qmx"

data="$work/kmeans_${rows}.csv"
[ -s "$data" ] || { log "writing $data"; /usr/bin/python3 "$here/make_kmeans_csv.py" "$rows" > "$data"; }
cols="x1,x2,x3,x4,x5,x6,x7,x8,x9,x10"

# run NAME -- command...: one timed run; its standard output (the tot.withinss) is kept.
declare -A wss wall rss
run() {
  local name=$1
  shift 2
  local tfile="$work/time_$name.txt" status=0
  timeout "$timeout_s" /usr/bin/time -v "$@" 2>"$tfile" >"$work/out_$name.txt" || status=$?
  if [ $status -ne 0 ]; then
    log "$name: exit status $status (124 = timeout)"
    return
  fi
  wall[$name]=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$tfile")
  rss[$name]=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2/1024}' "$tfile")
  wss[$name]=$(tail -1 "$work/out_$name.txt")
  log "$name: ${wall[$name]}s, peak RSS ${rss[$name]} MB, tot.withinss ${wss[$name]}"
}

run qmx -- sh -c "'$qmx' fit kmeans '$data' --columns $cols --k 8 --init hclust \
  --retained-rows $retained --summary-format json -o '$work/kmeans.xml' 2>/dev/null |
  sed -n 's/.*\"tot_withinss\": \\([^,]*\\),*/\\1/p'"
[ "${QMX_BENCH_SKIP_SKLEARN:-0}" = 1 ] || run sklearn -- /usr/bin/python3 -c "
import sys, numpy as np
from sklearn.cluster import KMeans
x = np.loadtxt('$data', delimiter=',', skiprows=1)
print(KMeans(n_clusters=8, n_init=10, random_state=1).fit(x).inertia_)"
[ "${QMX_BENCH_SKIP_R:-0}" = 1 ] || run R -- Rscript -e "
x <- as.matrix(read.csv('$data')); set.seed(1)
cat(format(kmeans(x, 8, nstart = 10, iter.max = 30)\$tot.withinss, digits = 15), '\n')"

best=$(for n in "${!wss[@]}"; do echo "${wss[$n]}"; done | sort -g | head -1)
echo "| run | rows | wall s | peak RSS MB | tot.withinss | / best |"
echo "|---|---|---|---|---|---|"
for n in qmx sklearn R; do
  [ -n "${wss[$n]:-}" ] || continue
  awk -v n="$n" -v r="$rows" -v w="${wall[$n]}" -v m="${rss[$n]}" -v s="${wss[$n]}" -v b="$best" \
    'BEGIN {printf "| %s | %d | %.2f | %.1f | %.6g | %.4f |\n", n, r, w, m, s, s / b}'
done
