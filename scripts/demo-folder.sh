# Sourced by scripts/demo and scripts/screenshot: a scratch folder holding a copy of the window, the
# demo program and settings that reach a virtual load started for it. Sets $demo, $sim and $port.
demo=$(mktemp -d "${TMPDIR:-/tmp}/vornic-demo.XXXXXX")
# The window keeps its settings and its TestLog folder beside the program: a copy of the program
# in the scratch folder keeps the demo's files there.
cp build/bin/vornic-dcload "$demo/"
cp data/demo.TSF "$demo/demo.TSF"

build/bin/vornic-sim --tcp 0 --source battery --capacity 0.5 --speed 5 --log "$demo/sim.log" > "$demo/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q '^load tcp' "$demo/sim.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^load tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$demo/sim.out")
[ -n "$port" ] || { echo "vornic-sim did not start" >&2; exit 1; }

printf '[VORN]\r\nTestFileName=%s\r\n[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\nLanPort=%s\r\nDefaultPath=%s\r\n[System]\r\nMeasureTime=500\r\n[Store]\r\nStation=Demo bench\r\n' \
  "$demo/demo.TSF" "$port" "$demo" > "$demo/VORN.INI"
