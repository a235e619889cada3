#!/bin/sh
# Ctrl+C ends a wait and a readchar at once, like the Stop command: the
# command fails without a message (status 1) and the next one still runs.
# The interrupt is sent only once the runner has shown that the waiting
# command is about to run, so the test does not depend on timing.
runner="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

# Waits until the runner has written "ready" (it flushes while it waits).
wait_until_ready() {
    tries=0
    until grep -q ready "$dir/out" 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 600 ]; then echo "the runner never became ready"; kill "$1"; exit 1; fi
        sleep 0.1
    done
}

# Standard input that stays open and silent: readchar finds no key and no
# end of input, so it waits.
mkfifo "$dir/keys"
exec 3<>"$dir/keys"

for command in 'wait 600' 'print readchar' 'print readword'; do
    # The output of the run before must not pass for this one's "ready".
    rm -f "$dir/out"
    "$runner" -e 'type "ready' -e "$command" -e 'print "next' <"$dir/keys" >"$dir/out" 2>"$dir/err" &
    pid=$!
    wait_until_ready "$pid"
    kill -INT "$pid"
    wait "$pid"
    status=$?
    if [ "$status" != 1 ] || [ "$(cat "$dir/out")" != "$(printf 'ready\nnext ')" ] || [ -s "$dir/err" ]; then
        echo "after Ctrl+C in '$command': status $status, output '$(cat "$dir/out")', errors '$(cat "$dir/err")'"
        failed=1
    fi
done

# Printing a large value stops too. The output goes to a pipe that is
# read only up to "ready", so the runner is still writing (blocked on the
# full pipe) when the interrupt comes; then the pipe is drained.
mkfifo "$dir/pipe"
"$runner" -e 'make "l iseq 1 3000000 , type "ready , print :l' -e 'print "next' <"$dir/keys" >"$dir/pipe" 2>"$dir/err" &
pid=$!
exec 4<"$dir/pipe"
head -c 5 <&4 >"$dir/out"
kill -INT "$pid"
cat <&4 >"$dir/rest"
wait "$pid"
status=$?
size=$(wc -c <"$dir/rest")
if [ "$status" != 1 ] || [ "$(cat "$dir/out")" != ready ] || [ "$size" -gt 1000000 ] ||
   [ "$(tail -n 1 "$dir/rest")" != "next " ] || [ -s "$dir/err" ]; then
    echo "after Ctrl+C in a long print: status $status, $size bytes after ready, errors '$(cat "$dir/err")'"
    failed=1
fi

# A program file that Ctrl+C stops ends the runner with status 130, and the
# files after it do not run.
rm -f "$dir/out"
printf 'type "ready\nwait 600\nprint "unreached\n' >"$dir/stopped.tvr"
printf 'print "second\n' >"$dir/second.tvr"
"$runner" "$dir/stopped.tvr" "$dir/second.tvr" </dev/null >"$dir/out" 2>"$dir/err" &
pid=$!
wait_until_ready "$pid"
kill -INT "$pid"
wait "$pid"
status=$?
if [ "$status" != 130 ] || [ "$(cat "$dir/out")" != "ready" ] || [ -s "$dir/err" ]; then
    echo "after Ctrl+C in a file: status $status, output '$(cat "$dir/out")', errors '$(cat "$dir/err")'"
    failed=1
fi
exit $failed
