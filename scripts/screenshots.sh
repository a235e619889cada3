#!/bin/sh
# Takes the README's screenshots: the main window with the plane, command
# and output windows after a few typed commands (a star and its label
# among them), in each skin. Needs Xvfb, xdotool and ImageMagick's import; writes
# docs/screenshots/SKIN.png.
set -e
cd "$(dirname "$0")/.."
out=docs/screenshots
mkdir -p "$out"
display=:93
Xvfb $display -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1
for skin in Windows Daylight Midnight; do
  config=$(mktemp --suffix=.ini)
  sed -e "s/^SKIN=.*/SKIN=$skin/" -e "s/^AUTOSAVE=.*/AUTOSAVE=No/" build/bin/default.ini > "$config"
  DISPLAY=$display build/bin/tavro "$config" >/dev/null 2>&1 &
  ide=$!
  sleep 4
  export DISPLAY=$display
  xdotool mousemove 300 660 click 1
  for line in 'print 1 + 2' 'to square :x' 'output :x * :x' 'end' 'print square 12' \
              'repeat 4 [print sentence (repeat) square (repeat)]' \
              'repeat 5 [fd 80 rt 144]' 'penup setxy 12 -12 turtlelabel [a star] home pendown'; do
    xdotool type --delay 15 "$line"
    xdotool key Return
  done
  sleep 1
  import -window root -crop 1024x720+128+152 "$out/$skin.png"
  kill $ide 2>/dev/null || true
  wait $ide 2>/dev/null || true
  rm -f "$config"
done

# The examples in the desktop environment: each runs as the start-up
# program with the plane window open.
shoot_example() {
  example=$1 skin=$2 name=$3
  config=$(mktemp --suffix=.ini)
  sed -e "s/^SKIN=.*/SKIN=$skin/" -e "s/^AUTOSAVE=.*/AUTOSAVE=No/" -e "s/^PLANE=.*/PLANE=Yes/" \
      build/bin/default.ini > "$config"
  DISPLAY=$display build/bin/tavro "$config" "examples/$example.tvr" >/dev/null 2>&1 &
  ide=$!
  sleep ${4:-9}
  DISPLAY=$display import -window root -crop 1024x720+128+152 "$out/$name.png"
  kill $ide 2>/dev/null || true
  wait $ide 2>/dev/null || true
  rm -f "$config"
}
shoot_example solar_system Midnight example-solar-system 14
shoot_example turtle_spiral Daylight example-turtle-spiral
shoot_example widget_panel Daylight example-widget-panel
shoot_example click_colours Windows example-click-colours

# A learner's first minutes with the shipped configuration: a typed error
# in the transcript, an unfinished command, the info window opened by help,
# and the memory window while a recursive program is stepped.
learner() {
  config=$(mktemp --suffix=.ini)
  sed -e "s/^AUTOSAVE=.*/AUTOSAVE=No/" build/bin/default.ini > "$config"
  DISPLAY=$display build/bin/tavro "$config" $1 >/dev/null 2>&1 &
  ide=$!
  sleep 6
}
learner_done() {
  kill $ide 2>/dev/null || true
  wait $ide 2>/dev/null || true
  rm -f "$config"
}
type_lines() {
  for line in "$@"; do
    DISPLAY=$display xdotool type --delay 20 "$line"
    DISPLAY=$display xdotool key Return
  done
  sleep 1
}
shoot() { DISPLAY=$display import -window root -crop 1024x720+128+152 "$out/$1.png"; }

learner
DISPLAY=$display xdotool mousemove 300 660 click 1
type_lines 'fd 100' 'rt 90' 'forwrad 10' 'print 42'
shoot typed-error
type_lines 'to square :n' 'repeat 4 [fd :n rt 90'
shoot unfinished-command
learner_done

learner
DISPLAY=$display xdotool mousemove 300 660 click 1
type_lines 'help "print'
shoot help-info
learner_done

treedir=$(mktemp -d)
tree=$treedir/tree.tvr
printf '%s\n' '; A tree: each branch carries two smaller trees.' 'to tree :size :depth' \
  '  if :depth = 0 [stop]' '  fd :size' '  lt 30' '  tree :size * 0.7 :depth - 1' '  rt 60' \
  '  tree :size * 0.7 :depth - 1' '  lt 30' '  bk :size' 'end' '' 'clearscreen' 'tree 40 7' > "$tree"
learner "$tree"
DISPLAY=$display xdotool mousemove 300 240 click 1
for i in 1 2 3 4 5 6 7 8 9 10; do DISPLAY=$display xdotool key F7; sleep 0.4; done
DISPLAY=$display xdotool key ctrl+m
sleep 1
DISPLAY=$display xdotool key F8
sleep 1
shoot memory-stepping
learner_done
rm -rf "$treedir"
