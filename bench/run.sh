#!/bin/bash
# Runs the benchmark suite: each program of bench/programs in Tavro and, side
# by side, the same program in the dialect of the peer interpreters (the
# Debian packages ucblogo and qlogo). Every program runs RUNS times (default
# 5), interleaved across the interpreters; the table shows the median wall
# time of whole runs, the ratios, and Tavro's peak resident memory.
#
# Exact command lines (each run in an empty temporary folder):
#   Tavro:    build/bin/tavro-run PROGRAM.tvr
#   UCBLogo:  DISPLAY=:N timeout 300 ucblogo prelude.lg PROGRAM.lg bye.lg </dev/null
#             (under Xvfb; prelude.lg routes output to standard output)
#   QLogo:    timeout 300 QLogo-cli <PROGRAM.lg
#
# Usage: sh bench/run.sh            (as root or with sudo for the packages)
#        RUNS=9 bash bench/run.sh
#        BASELINE=/path/to/other/bin/tavro-run bash bench/run.sh
#            (another build of Tavro, timed interleaved with the others:
#            its median and peak memory are added to each row)
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${RUNS:-5}

sh scripts/install-deps.sh ucblogo qlogo xvfb xauth time >/dev/null
sh scripts/build.sh >/dev/null

WORK=$(mktemp -d)
trap 'kill $XVFB_PID 2>/dev/null; rm -rf "$WORK"' EXIT
cp bench/peer/prelude.lg bench/peer/bye.lg "$WORK/"
DISPLAY_NUMBER=97
while [ -e /tmp/.X$DISPLAY_NUMBER-lock ]; do DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1)); done
Xvfb :$DISPLAY_NUMBER -screen 0 640x480x24 >/dev/null 2>&1 &
XVFB_PID=$!
sleep 1

TAVRO="$ROOT/build/bin/tavro-run"

# Wall time of one command in milliseconds; its standard output goes to $2.
time_ms() {
  local start end
  start=$(date +%s%N)
  eval "$1" >"$2" 2>/dev/null || true
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# The result line of each interpreter, for the agreement check.
result_tavro() { tr -d ' ' <"$1" | tail -1; }
result_ucb() { tr -d ' ' <"$1" | tail -1; }
result_qlogo() { sed -e 's/^[?> ]*//' -e '/defined$/d' -e '/^$/d' "$1" | tr -d ' ' | tail -1; }

cd "$WORK"
printf "%-8s %10s %10s %10s %8s %8s %10s\n" program tavro_ms ucblogo_ms qlogo_ms ucb/tav qlogo/tav tavro_KB
for program in "$ROOT"/bench/programs/*.tvr; do
  name=$(basename "$program" .tvr)
  peer="$ROOT/bench/programs/$name.lg"
  : >t.times; : >u.times; : >q.times; : >b.times
  for i in $(seq "$RUNS"); do
    time_ms "'$TAVRO' '$program'" t.out >>t.times
    time_ms "DISPLAY=:$DISPLAY_NUMBER timeout 300 ucblogo prelude.lg '$peer' bye.lg </dev/null" u.out >>u.times
    time_ms "timeout 300 QLogo-cli <'$peer'" q.out >>q.times
    [ -z "$BASELINE" ] || time_ms "'$BASELINE' '$program'" b.out >>b.times
  done
  memory=$(/usr/bin/time -f %M "$TAVRO" "$program" 2>&1 >/dev/null | tail -1)
  t=$(median <t.times); u=$(median <u.times); q=$(median <q.times)
  agree=""
  [ "$(result_tavro t.out)" = "$(result_ucb u.out)" ] || agree=" (ucblogo printed $(result_ucb u.out), Tavro $(result_tavro t.out))"
  [ "$(result_tavro t.out)" = "$(result_qlogo q.out)" ] || agree="$agree (qlogo printed $(result_qlogo q.out))"
  printf "%-8s %10s %10s %10s %8s %8s %10s%s\n" "$name" "$t" "$u" "$q" \
    "$(awk -v a="$u" -v b="$t" 'BEGIN { printf "%.2f", a / b }')" \
    "$(awk -v a="$q" -v b="$t" 'BEGIN { printf "%.2f", a / b }')" "$memory" "$agree"
  if [ -n "$BASELINE" ]; then
    printf "%-8s %10s %43s %10s\n" "  base" "$(median <b.times)" "" \
      "$(/usr/bin/time -f %M "$BASELINE" "$program" 2>&1 >/dev/null | tail -1)"
  fi
done
