#!/bin/sh
# The turtle's benchmark: `repeat N [fd 1 rt 1]` in tavro-run (N = 10,000,
# 40,000 and 100,000) and in the desktop environment with the shipped
# configuration (N = 10,000 and 40,000, under Xvfb). Each runs RUNS times (default
# 3); the medians are printed, with the frames the plane painted.
set -e
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-3}
[ -x build/bin/tavro-run ] || sh scripts/build.sh >/dev/null
work=$(mktemp -d)
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
for n in 10000 40000 100000; do
  echo "repeat $n [fd 1 rt 1]" > "$work/t$n.tvr"
  i=0
  while [ $i -lt "$RUNS" ]; do
    /usr/bin/time -f "%e %U" build/bin/tavro-run "$work/t$n.tvr" 2>> "$work/run$n" >/dev/null
    i=$((i + 1))
  done
  wall=$(awk '{print $1}' "$work/run$n" | median)
  user=$(awk '{print $2}' "$work/run$n" | median)
  echo "$wall" > "$work/wall$n"
  echo "tavro-run $n steps: $wall s wall, $user s user, $(echo "$n $wall" | awk '{printf "%.0f", $1 / $2}') steps/s"
done
echo "100000 steps against 10000: $(echo "$(cat "$work/wall100000") $(cat "$work/wall10000")" | awk '{printf "%.1f", $1 / $2}') times the time"
sed -e "s/^AUTOSAVE=.*/AUTOSAVE=No/" build/bin/default.ini > "$work/shipped.ini"
# The IDE's figure is the run alone (the command typed until the run
# ends); the runner's includes starting the process, a few milliseconds.
for n in 10000 40000; do
  i=0
  while [ $i -lt "$RUNS" ]; do
    LD_LIBRARY_PATH="$(pwd)/build/bin" xvfb-run -a -s "-screen 0 1280x1024x24" \
      build/bench/turtle/tavro-turtle-bench "$work/shipped.ini" $n >> "$work/ide$n" 2>/dev/null
    i=$((i + 1))
  done
  ms=$(grep '^ide_ms' "$work/ide$n" | awk '{print $2}' | median)
  echo "IDE $n steps: $ms ms, $(grep '^ide_steps_per_s' "$work/ide$n" | awk '{print $2}' | median) steps/s," \
    "$(grep '^ide_frames' "$work/ide$n" | awk '{print $2}' | median) frames," \
    "$(echo "$ms $(cat "$work/wall$n")" | awk '{printf "%.2f", $1 / 1000 / $2}') times tavro-run's time"
done
rm -rf "$work"
