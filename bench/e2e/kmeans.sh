#!/usr/bin/env bash
# End-to-end benchmark of `qmx fit kmeans` against scikit-learn's KMeans (n_init = 10) and,
# on request, R's kmeans (Hartigan-Wong, 10 random starts) on one CSV of ROWS rows x 10
# columns drawn from a mixture of 8 Gaussian clusters (make_kmeans_csv.py). One run each;
# prints wall and CPU time, peak RSS (/usr/bin/time -v), tot.withinss, the qmx / scikit-learn
# ratios, and how many bytes of the text qmx read (strace) against the file's size.
#
# Usage: bench/e2e/kmeans.sh [ROWS] [RETAINED]      (default: 1000000 10000)
# Environment: QMX_BENCH_DIR (default /tmp/qmx_kmeans_bench; never in git; the data file is
#              deleted at the end unless QMX_BENCH_KEEP=1),
#              QMX_BENCH_TIMEOUT (seconds per run, default 1800),
#              QMX_BENCH_SKIP_SKLEARN=1 (qmx alone, e.g. at 4e6 rows for the flat RSS),
#              QMX_BENCH_R=1 (R too), QMX_BENCH_SKIP_STRACE=1.
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
(cd "$root" && cmake --preset release >/dev/null && cmake --build build/release -j2 --target qmx >/dev/null)
qmx="$root/build/release/tools/qmx/qmx"

data="$work/kmeans_${rows}.csv"
[ -s "$data" ] || { log "writing $data"; /usr/bin/python3 "$here/make_kmeans_csv.py" "$rows" > "$data"; }
[ "${QMX_BENCH_KEEP:-0}" = 1 ] || trap 'rm -f "$data"' EXIT
cols="x1,x2,x3,x4,x5,x6,x7,x8,x9,x10"
qmx_args=(fit kmeans "$data" --columns "$cols" --k 8 --init hclust --retained-rows "$retained"
  --summary-format json -o "$work/kmeans.xml")

# run NAME -- command...: one timed run; the last line of its standard output is the
# tot.withinss.
declare -A wss wall cpu rss
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
  cpu[$name]=$(awk -F': ' '/(User|System) time/ {s += $2} END {print s}' "$tfile")
  rss[$name]=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2/1024}' "$tfile")
  wss[$name]=$(tail -1 "$work/out_$name.txt")
  log "$name: ${wall[$name]} s wall, ${cpu[$name]} s CPU, peak RSS ${rss[$name]} MB, tot.withinss ${wss[$name]}"
}

run qmx -- sh -c "\"\$@\" 2>/dev/null | sed -n 's/.*\"tot_withinss\": \\([^,]*\\),*/\\1/p'" sh \
  "$qmx" "${qmx_args[@]}"
[ "${QMX_BENCH_SKIP_SKLEARN:-0}" = 1 ] || run sklearn -- /usr/bin/python3 -c "
import numpy as np
from sklearn.cluster import KMeans
x = np.loadtxt('$data', delimiter=',', skiprows=1)
print(KMeans(n_clusters=8, n_init=10, random_state=1).fit(x).inertia_)"
[ "${QMX_BENCH_R:-0}" != 1 ] || run R -- Rscript -e "
x <- as.matrix(read.csv('$data')); set.seed(1)
cat(format(kmeans(x, 8, nstart = 10, iter.max = 30)\$tot.withinss, digits = 15), '\n')"

echo "| run | rows | wall s | CPU s | peak RSS MB | tot.withinss |"
echo "|---|---|---|---|---|---|"
for n in qmx sklearn R; do
  [ -n "${wss[$n]:-}" ] || continue
  awk -v n="$n" -v r="$rows" -v w="${wall[$n]}" -v c="${cpu[$n]}" -v m="${rss[$n]}" -v s="${wss[$n]}" \
    'BEGIN {printf "| %s | %d | %.2f | %.2f | %.1f | %.8g |\n", n, r, w, c, m, s}'
done
if [ -n "${wss[qmx]:-}" ] && [ -n "${wss[sklearn]:-}" ]; then
  awk -v w="${wall[qmx]}" -v W="${wall[sklearn]}" -v c="${cpu[qmx]}" -v C="${cpu[sklearn]}" \
    -v m="${rss[qmx]}" -v M="${rss[sklearn]}" -v s="${wss[qmx]}" -v S="${wss[sklearn]}" \
    'BEGIN {printf "qmx / scikit-learn: wall %.3f, CPU %.3f, peak RSS %.3f, tot.withinss %.5f\n", w / W, c / C, m / M, s / S}'
fi

# The text is read once: bytes read(2) from the CSV's descriptors over the file's size.
if [ "${QMX_BENCH_SKIP_STRACE:-0}" != 1 ] && command -v strace >/dev/null; then
  strace -f -e trace=openat,read,close -o "$work/strace.txt" "$qmx" "${qmx_args[@]}" >/dev/null 2>&1
  awk -v f="$data" -v size="$(stat -c %s "$data")" '
    { pid = $1; sub(/^[0-9]+ +/, "") }
    /^openat\(/ && index($0, "\"" f "\"") { fd[$NF] = 1; opens++; next }
    /^read\(/ && /unfinished/ { split($0, a, /[(,]/); pend[pid] = a[2]; next }
    /^read\(/ { split($0, a, /[(,]/); if (a[2] in fd) bytes += $NF; next }
    /^<\.\.\. read resumed>/ { if ((pid in pend) && (pend[pid] in fd)) bytes += $NF; delete pend[pid]; next }
    /^close\(/ { split($0, a, /[()]/); delete fd[a[2]] }
    END { printf "text opened %d time(s), %.0f bytes read = %.3f x the file\n", opens, bytes, bytes / size }' \
    "$work/strace.txt"
fi
