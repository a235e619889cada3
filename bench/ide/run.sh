#!/bin/sh
# Runs the desktop environment's benchmark RUNS times (default 5) under an
# Xvfb server and prints the median of each figure.
set -e
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-5}
sh scripts/build.sh >/dev/null
config=$(mktemp --suffix=.ini)
sed -e "s/^AUTOSAVE=.*/AUTOSAVE=No/" build/bin/default.ini > "$config"
out=$(mktemp)
i=0
while [ $i -lt "$RUNS" ]; do
  LD_LIBRARY_PATH="$(pwd)/build/bin" xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/ide/tavro-ide-bench "$config" >> "$out" 2>/dev/null
  i=$((i + 1))
done
for key in startup_ms idle_rss_kb print_100000_ms rss_after_kb plane_fps_10000_cubes one_cube_change_ms; do
  grep "^$key " "$out" | awk '{print $2}' | sort -n | awk -v k="$key" '{v[NR]=$1} END {m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; printf "%-18s %10.1f  (median of %d)\n", k, m, NR}'
done
grep "^last_line_visible" "$out" | sort | uniq -c
rm -f "$config" "$out"
