#!/usr/bin/env bash
# Wall and CPU time (medians of 3) and peak RSS of the reading commands on one generated
# file: qmx describe, fit lm, fit glm binomial and fit glm poisson (y, b ~ x1..x10 + f1 + f2).
# Usage: bench/e2e/read_bench.sh [ROWS] [QMX]   (default 1000000, build/release/tools/qmx/qmx)
# The file (make_glm_csv.py) goes to ${QMX_BENCH_DIR:-/tmp/qmx_read_bench}, never into git.
set -euo pipefail
rows=${1:-1000000}
qmx=${2:-build/release/tools/qmx/qmx}
work=${QMX_BENCH_DIR:-/tmp/qmx_read_bench}
mkdir -p "$work"
data=$work/glm_$rows.csv
[ -s "$data" ] || python3 "$(dirname "$0")/make_glm_csv.py" "$rows" -o "$data"
rhs="x1 + x2 + x3 + x4 + x5 + x6 + x7 + x8 + x9 + x10 + f1 + f2"
median() { sort -n | sed -n 2p; }
run() { # name, command...: name, median wall s, median CPU s, peak RSS MB
  local name=$1 walls="" cpus="" rss=0
  shift
  for _ in 1 2 3; do
    /usr/bin/time -o "$work/time.txt" -f '%e %U %S %M' "$@" >/dev/null 2>&1
    read -r wall user sys kb <"$work/time.txt"
    walls+="$wall"$'\n'
    cpus+="$(echo "$user + $sys" | bc)"$'\n'
    ((kb > rss)) && rss=$kb
  done
  printf '%-18s wall %6s s  cpu %6s s  rss %4d MB\n' "$name" \
    "$(printf '%s' "$walls" | median)" "$(printf '%s' "$cpus" | median)" $((rss / 1024))
}
run describe "$qmx" describe "$data"
run "fit lm" "$qmx" fit lm "$data" --formula "y ~ $rhs" -o "$work/lm.xml"
run "fit glm binomial" "$qmx" fit glm "$data" --family binomial --formula "b ~ $rhs" -o "$work/b.xml"
run "fit glm poisson" "$qmx" fit glm "$data" --family poisson --formula "b ~ $rhs" -o "$work/p.xml"
