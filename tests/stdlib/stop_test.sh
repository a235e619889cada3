#!/bin/sh
# Ctrl+C ends a wait and a readchar at once, like the Stop command: the
# command fails without a message (status 1) and the next one still runs.
runner="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0
for command in 'wait 600' 'print readchar'; do
    "$runner" -e "$command" -e 'print "next' </dev/null >"$dir/out" 2>"$dir/err" &
    pid=$!
    sleep 0.5
    kill -INT "$pid"
    wait "$pid"
    status=$?
    if [ "$status" != 1 ] || [ "$(cat "$dir/out")" != "next " ] || [ -s "$dir/err" ]; then
        echo "after Ctrl+C in '$command': status $status, output '$(cat "$dir/out")', errors '$(cat "$dir/err")'"
        failed=1
    fi
done
exit $failed
