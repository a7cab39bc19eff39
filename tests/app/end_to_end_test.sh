#!/usr/bin/env bash
# Runs the built viewer under Xvfb on the simulated reader tools: the window
# must fill and be saved as a PNG, and Esc must end the program with code 0.
# Usage: end_to_end_test.sh KESTRA READACC_SIMULATOR READZET_SIMULATOR
set -euo pipefail
viewer=$1 card_tool=$2 token_tool=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$card_tool" "$work/READACC.EXE"
ln -s "$token_tool" "$work/READZET.EXE"
cd "$work"

cat > session.sh <<'SESSION'
set -u
viewer=$1 screenshot=$2
unset QT_QPA_PLATFORM
"$viewer" --screenshot "$screenshot" > viewer.out 2> viewer.err &
pid=$!
for _ in $(seq 400); do [ -s "$screenshot" ] && break; sleep 0.05; done
[ -s "$screenshot" ] || { echo "no screenshot"; cat viewer.err; kill "$pid"; exit 1; }
xdotool key Escape
for _ in $(seq 200); do kill -0 "$pid" 2> /dev/null || break; sleep 0.05; done
kill -0 "$pid" 2> /dev/null && { echo "Esc did not end the viewer"; kill "$pid"; exit 1; }
wait "$pid"
SESSION

status=0
timeout 60 xvfb-run -a -s "-screen 0 800x600x24" bash session.sh "$viewer" "$work/card.png" || status=$?
if [ "$status" -ne 0 ]; then
  echo "FAIL: viewer session ended with $status"
  exit 1
fi
if [ "$(head -c 8 card.png | od -An -tx1 | tr -d ' \n')" != "89504e470d0a1a0a" ]; then
  echo "FAIL: the screenshot is no PNG"
  exit 1
fi
if ! grep -qx "$work/card.png" viewer.out; then
  echo "FAIL: the viewer did not print the screenshot's path"
  exit 1
fi
echo "viewer filled the window, wrote the screenshot and ended on Esc"
