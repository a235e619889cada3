#!/bin/sh
# Running out of memory ends the program with the language error, never
# the process: after every shape of exhaustion the next command runs. Each
# shape runs under a small ceiling of ours and under an address-space
# limit of the shell (ulimit -v), where the default ceiling must come
# first; the runner's address space is about 330 MB before a program runs
# (its 256 MB interpreter stack included). Usage: out_of_memory_test.sh TAVRO_RUN
runner=$1
failures=0
message="Out of memory: the program holds too many values"

# check NAME LIMIT-ARGS PROGRAM AFTER EXPECTED
check() {
    name=$1 how=$2 program=$3 after=$4 expected=$5
    out=$(mktemp) err=$(mktemp)
    if [ "$how" = ulimit ]; then
        (ulimit -v 400000; exec "$runner" -e "$program" -e "$after") >"$out" 2>"$err"
    else
        "$runner" --memory-limit 48 -e "$program" -e "$after" >"$out" 2>"$err"
    fi
    status=$?
    if [ $status -ne 1 ] || ! grep -q "$message" "$err" || ! grep -qx "$expected" "$out" ||
       grep -q "terminate\|Abort\|OUTOFMEMORY" "$err"; then
        echo "FAIL: $name ($how): status $status"
        echo "--- output:"; cat "$out"; echo "--- errors:"; cat "$err"
        failures=$((failures + 1))
    fi
    rm -f "$out" "$err"
}

for how in ceiling ulimit; do
    check "global list" $how 'make "l [] , while "true [make "l fput 1 :l]' 'print "after' 'after '
    # The list is still held: the next command still runs, and lets it go.
    check "global list held" $how 'make "l [] , while "true [make "l fput 1 :l]' \
        'print (count :l) > 1000 , make "l []' 'true '
    check "local list" $how \
        'to grow , local "l , make "l [] , while "true [make "l fput 1 :l] , end , grow' 'print "after' 'after '
    # Objects fill an address space slowly (every collection walks them
    # all): under our own ceiling only.
    [ $how = ceiling ] && check "objects" $how 'make "i 0 , while "true [make "i :i + 1 , ob word "o :i []]' 'print :i > 1000' 'true '
    check "word" $how 'make "w "ab , while "true [make "w word :w :w]' 'print "after' 'after '
    check "sentence" $how 'make "s [a b] , while "true [make "s sentence :s :s]' 'print "after' 'after '
done

# Memory that an exhausted run left as garbage serves the next program whole.
out=$("$runner" --memory-limit 48 -e 'make "l [] , while "true [make "l fput 1 :l]' -e 'make "l []' \
      -e 'make "k [] , repeat 200000 [make "k fput 1 :k] , print count :k' 2>/dev/null)
[ "$out" = "200000 " ] || { echo "FAIL: memory after a global list was let go: $out"; failures=$((failures + 1)); }

[ $failures -eq 0 ] && echo "all shapes ended cleanly"
exit $failures
