#!/bin/sh
# The turtle's benchmark: `repeat N [fd 1 rt 1]` in tavro-run (N = 10,000,
# 40,000 and 100,000) and in the desktop environment with the shipped
# configuration (the same N, under Xvfb). Each runs RUNS times (default
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
# Processor time is printed too: on a machine shared with other work the
# wall times wander. A run of the shown plane that painted no frame would
# flatter the IDE: it is left out of the medians and counted.
for n in 10000 40000 100000; do
  i=0
  : > "$work/ide$n"
  skipped=0
  while [ $i -lt "$RUNS" ]; do
    LD_LIBRARY_PATH="$(pwd)/build/bin" xvfb-run -a -s "-screen 0 1280x1024x24" \
      build/bench/turtle/tavro-turtle-bench "$work/shipped.ini" $n > "$work/run" 2>/dev/null
    line=$(awk '/^ide_ms /{ms=$2} /^ide_cpu_ms /{cpu=$2} /^ide_frames /{f=$2} /^ide_frames_from_kept /{k=$2}
                END {print ms, cpu, f, k}' "$work/run")
    if [ "$(echo "$line" | awk '{print $3}')" = 0 ]; then
      skipped=$((skipped + 1))
    else
      echo "$line" >> "$work/ide$n"
    fi
    i=$((i + 1))
  done
  [ -s "$work/ide$n" ] || { echo "IDE $n steps: no run painted a frame"; continue; }
  ms=$(awk '{print $1}' "$work/ide$n" | median)
  echo "IDE $n steps: $ms ms ($(awk '{print $2}' "$work/ide$n" | median) ms processor)," \
    "$(awk '{print $3}' "$work/ide$n" | median) frames ($(awk '{print $4}' "$work/ide$n" | median) from kept pixels)," \
    "$(echo "$ms $(cat "$work/wall$n")" | awk '{printf "%.2f", $1 / 1000 / $2}') times tavro-run's time" \
    "$([ $skipped -gt 0 ] && echo "($skipped runs without a frame left out)")"
done
rm -rf "$work"
