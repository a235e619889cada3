#!/bin/bash
# Growth benchmarks: each workload at two sizes, the second twice the
# first, so that linear growth shows as a time ratio near 2 (and a memory
# ratio near 2, or near 1 where memory must not depend on the size).
# Tavro only; programs are generated into a temporary folder. Each size
# runs RUNS times (default 3): median wall time, peak resident memory.
#
# Usage: bash bench/growth.sh          (builds first)
#        RUNS=5 bash bench/growth.sh
#        ONLY="names dump" bash bench/growth.sh
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${RUNS:-3}
sh scripts/build.sh >/dev/null
TAVRO="$ROOT/build/bin/tavro-run"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# The generated programs, by workload and size.
make_names() {  # n plain variables
  awk -v n="$1" 'BEGIN { for (k = 0; k < n; k++) printf "make \"v%d %d\n", k, k; print "print :v7" }' >"$2"
}
make_procedures() {  # n procedures defined
  awk -v n="$1" 'BEGIN { for (k = 0; k < n; k++) printf "to p%d :x\noutput :x + %d\nend\n", k, k; print "print p7 1" }' >"$2"
}
make_calls() {  # n procedures defined, then each called once
  awk -v n="$1" 'BEGIN { for (k = 0; k < n; k++) printf "to p%d :x\noutput :x + %d\nend\n", k, k;
                         for (k = 0; k < n; k++) printf "make \"s p%d 1\n", k; print "print :s" }' >"$2"
}
make_line() {  # one line of n print statements: a statement of 2n elements
  awk -v n="$1" 'BEGIN { for (k = 0; k < n; k++) printf "print 1 "; print "" }' >"$2"
}
make_file() {  # n statements, one per line
  awk -v n="$1" 'BEGIN { for (k = 0; k < n; k++) print "print 1" }' >"$2"
}
make_iseq() {  # one print of a list of n numbers
  echo "print iseq 1 $1" >"$2"
}
make_objects() {  # n objects made with ob in a while loop
  echo "make \"i 0 , while :i < $1 [make \"i :i + 1 , ob word \"o :i []]" >"$2"
}
make_dump() {  # DUMP of an object n levels deep (n a power of two)
  local k
  k=$(awk -v n="$1" 'BEGIN { print int(log(n) / log(2) + 0.5) }')
  printf 'make "s ".m , repeat %d [make "s word :s :s] , make word "o :s 1 , make "s 0\nDUMP\n' "$k" >"$2"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf "%-11s %9s %9s %9s %9s %9s %9s %7s %7s\n" workload n1 ms1 KB1 n2 ms2 KB2 time_x mem_x
run() {  # workload, size: prints "ms KB"
  local program="$1-$2.tvr" times="" kb=0 start end
  "make_$1" "$2" "$program"
  : >times
  for i in $(seq "$RUNS"); do
    start=$(date +%s%N)
    /usr/bin/time -f %M -o mem "$TAVRO" "$program" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000)) >>times
    kb=$(cat mem)
  done
  echo "$(median <times) $kb"
}
# Workloads named on the command line, or all of them.
workloads=("names 50000" "procedures 50000" "calls 50000" "line 40000" "file 500000"
       "iseq 1000000" "dump 8192" "objects 50000")
for workload in "${workloads[@]}"; do
  set -- $workload
  if [ -n "$ONLY" ] && ! echo " $ONLY " | grep -q " $1 "; then continue; fi
  read -r ms1 kb1 <<<"$(run "$1" "$2")"
  read -r ms2 kb2 <<<"$(run "$1" $(($2 * 2)))"
  printf "%-11s %9d %9d %9d %9d %9d %9d %7.2f %7.2f\n" "$1" "$2" "$ms1" "$kb1" $(($2 * 2)) "$ms2" "$kb2" \
    "$(echo "$ms2 / ($ms1 + 0.5)" | bc -l)" "$(echo "$kb2 / $kb1" | bc -l)"
done
