#!/bin/bash
# Runs the benchmark suite: each program of bench/programs in Tavro and, side
# by side, the same program in the dialect of the peer interpreters (the
# Debian packages ucblogo and qlogo) and, where bench/lua/NAME.lua exists,
# in Lua 5.4. Every program runs RUNS times (default 5), interleaved across
# the interpreters; the table shows the median wall time of whole runs, each
# interpreter's median time for an empty program (its start-up), the ratios
# of the times with that start-up subtracted, and Tavro's peak resident
# memory.
#
# Exact command lines (each run in an empty temporary folder):
#   Tavro:    build/bin/tavro-run PROGRAM.tvr
#   UCBLogo:  DISPLAY=:N timeout 300 ucblogo prelude.lg PROGRAM.lg bye.lg </dev/null
#             (under Xvfb; prelude.lg routes output to standard output)
#   QLogo:    timeout 300 QLogo-cli <PROGRAM.lg
#   Lua:      timeout 300 lua5.4 NAME.lua
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

sh scripts/install-deps.sh ucblogo qlogo lua5.4 xvfb xauth time >/dev/null
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

# The result line of each interpreter, for the agreement check; two
# numbers agree when their values do (QLogo prints 3000000 as 3e+06).
same_result() {
  [ "$1" = "$2" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(a ~ /^[-+0-9.e]+$/ && b ~ /^[-+0-9.e]+$/ && a + 0 == b + 0) }'
}
result_tavro() { tr -d ' ' <"$1" | tail -1; }
result_ucb() { tr -d ' ' <"$1" | tail -1; }
result_qlogo() { sed -e 's/^[?> ]*//' -e '/defined$/d' -e '/^$/d' "$1" | tr -d ' ' | tail -1; }

cd "$WORK"
: >empty.tvr; : >empty.lg; : >empty.lua
# The command line of each interpreter for a program (Lua: its own file).
run_tavro() { echo "'$1' '$2'"; }
run_ucb() { echo "DISPLAY=:$DISPLAY_NUMBER timeout 300 ucblogo prelude.lg '$1' bye.lg </dev/null"; }
run_qlogo() { echo "timeout 300 QLogo-cli <'$1'"; }
run_lua() { echo "timeout 300 lua5.4 '$1'"; }

# Start-up: the median time of an empty program in each interpreter.
: >t.times; : >u.times; : >q.times; : >l.times; : >b.times
for i in $(seq "$RUNS"); do
  time_ms "$(run_tavro "$TAVRO" empty.tvr)" t.out >>t.times
  time_ms "$(run_ucb empty.lg)" u.out >>u.times
  time_ms "$(run_qlogo empty.lg)" q.out >>q.times
  time_ms "$(run_lua empty.lua)" l.out >>l.times
  [ -z "$BASELINE" ] || time_ms "$(run_tavro "$BASELINE" empty.tvr)" b.out >>b.times
done
T0=$(median <t.times); U0=$(median <u.times); Q0=$(median <q.times); L0=$(median <l.times)
B0=0; [ -z "$BASELINE" ] || B0=$(median <b.times)
echo "start-up (empty program), ms: tavro $T0, ucblogo $U0, qlogo $Q0, lua $L0${BASELINE:+, base $B0}"
echo "ratios use each time minus its interpreter's start-up (net); tav/lua above 1: Lua is faster"

# a / b of the net times (start-up subtracted, at least 1 ms each).
net_ratio() {
  awk -v a="$1" -v a0="$2" -v b="$3" -v b0="$4" 'BEGIN {
    x = a - a0; y = b - b0; if (x < 1) x = 1; if (y < 1) y = 1; printf "%.2f", x / y }'
}

printf "%-8s %9s %10s %9s %7s %8s %9s %8s %9s\n" program tavro_ms ucblogo_ms qlogo_ms lua_ms \
  ucb/tav qlogo/tav tav/lua tavro_KB
for program in "$ROOT"/bench/programs/*.tvr; do
  name=$(basename "$program" .tvr)
  peer="$ROOT/bench/programs/$name.lg"
  lua="$ROOT/bench/lua/$name.lua"
  : >t.times; : >u.times; : >q.times; : >l.times; : >b.times
  for i in $(seq "$RUNS"); do
    time_ms "$(run_tavro "$TAVRO" "$program")" t.out >>t.times
    time_ms "$(run_ucb "$peer")" u.out >>u.times
    time_ms "$(run_qlogo "$peer")" q.out >>q.times
    [ ! -f "$lua" ] || time_ms "$(run_lua "$lua")" l.out >>l.times
    [ -z "$BASELINE" ] || time_ms "$(run_tavro "$BASELINE" "$program")" b.out >>b.times
  done
  memory=$(/usr/bin/time -f %M "$TAVRO" "$program" 2>&1 >/dev/null | tail -1)
  t=$(median <t.times); u=$(median <u.times); q=$(median <q.times)
  l=-; tl=-
  if [ -f "$lua" ]; then l=$(median <l.times); tl=$(net_ratio "$t" "$T0" "$l" "$L0"); fi
  agree=""
  same_result "$(result_tavro t.out)" "$(result_ucb u.out)" || agree=" (ucblogo printed $(result_ucb u.out), Tavro $(result_tavro t.out))"
  same_result "$(result_tavro t.out)" "$(result_qlogo q.out)" || agree="$agree (qlogo printed $(result_qlogo q.out))"
  [ ! -f "$lua" ] || same_result "$(result_tavro t.out)" "$(result_tavro l.out)" || agree="$agree (lua printed $(result_tavro l.out))"
  printf "%-8s %9s %10s %9s %7s %8s %9s %8s %9s%s\n" "$name" "$t" "$u" "$q" "$l" \
    "$(net_ratio "$u" "$U0" "$t" "$T0")" "$(net_ratio "$q" "$Q0" "$t" "$T0")" "$tl" "$memory" "$agree"
  if [ -n "$BASELINE" ]; then
    printf "%-8s %9s %46s %9s  (base/tavro net %s)\n" "  base" "$(median <b.times)" "" \
      "$(/usr/bin/time -f %M "$BASELINE" "$program" 2>&1 >/dev/null | tail -1)" \
      "$(net_ratio "$(median <b.times)" "$B0" "$t" "$T0")"
  fi
done
