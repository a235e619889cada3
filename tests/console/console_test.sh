#!/bin/sh
# The interactive console on a terminal (a pseudo-terminal made by
# `script`): the libraries are there from the first prompt, an incomplete
# definition continues under the continuation prompt, and errors are shown
# without ending the session; bye ends it, and nothing typed after it runs.
runner="$1"
out=$(printf 'print 1 + 2\nto sq :n\noutput :n * :n\nend\nprint sq 7\nprint :nothing\nprint "last\nbye\nprint "afterbye\n' |
      timeout 60 script -qec "$runner" /dev/null | tr -d '\r')
failed=0
for expected in '? print 1 + 2' '3 ' '~ output :n * :n' '~ end' '? print sq 7' '49 ' \
                'Nothing is named nothing' 'last '; do
    if ! printf '%s\n' "$out" | grep -qxF -- "$expected"; then
        echo "missing line: '$expected'"
        failed=1
    fi
done
if printf '%s\n' "$out" | grep -q 'afterbye '; then
    echo "a line after bye ran"
    failed=1
fi
[ $failed = 0 ] || printf '%s\n' "--- session:" "$out"
exit $failed
