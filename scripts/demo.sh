#!/usr/bin/env bash
# The main job, as far as the system reaches today: builds everything, boots the Wine bench and
# shows which parts run. Output under out/.
set -uo pipefail
source "$(dirname "$0")/trees.sh"
bash "$ROOT/scripts/install-deps.sh" || exit 1
mkdir -p "$BUILD" "$ROOT/out"
for t in native win; do
  echo "== building $t"
  build_tree "$t" || exit 1
done
WB=$ROOT/tools/winebench/winebench
PERSON_DISPLAY=${DISPLAY:-}
"$WB" start "$BUILD/win" || exit 1
trap '"$WB" stop "$BUILD/win"' EXIT
echo "== Wine session up (display $("$WB" env "$BUILD/win" | sed -n 's/^export DISPLAY=//p'))"
for t in BenchWindow BenchDirectSound BenchXvid; do
  if "$WB" run "$BUILD/win/bin/winebench_test.exe" --gtest_brief=1 --gtest_filter="$t*" >"$ROOT/out/demo-$t.log" 2>&1; then
    echo "   $t: works"
  else
    echo "   $t: FAILED (out/demo-$t.log)"
  fi
done
"$WB" exec "$BUILD/win" import -window root "$ROOT/out/demo-desktop.png" 2>/dev/null \
  && echo "   screenshot: out/demo-desktop.png"

# wait_for SECONDS WHAT COMMAND...: until COMMAND succeeds; says so loudly when WHAT never comes.
wait_for() {
  local seconds=$1 what=$2; shift 2
  local end=$((SECONDS + seconds))
  until "$@" 2>/dev/null; do
    if [ $SECONDS -ge $end ]; then
      echo "   FAILED: $what did not come within $seconds s"
      return 1
    fi
    sleep 0.2
  done
}
# pictures_flowing N: the viewer's last line of figures counts at least N pictures in its second.
pictures_flowing() {
  [ -s "$stats" ] && [ "$(grep -v '^#' "$stats" | tail -n 1 | awk '{print $5}')" -ge "$1" ] 2>/dev/null
}
# lines_at_least FILE N: FILE has N lines or more (the viewer writes a line of figures each second
# of its own clock, which runs as slowly as its other timers on a slow machine).
lines_at_least() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }
# log_after LINE PATTERN: a status line after the first LINE lines matches PATTERN.
log_after() { [ -f "$log" ] && tail -n +"$(($1 + 1))" "$log" | grep -q -e "$2"; }
# frames_stopped: the viewer's last line of figures counts no frame arriving in its second.
frames_stopped() { [ -s "$stats" ] && [ "$(grep -v '^#' "$stats" | tail -n 1 | awk '{print $11}')" = 0 ]; }

# The viewer as users meet it: the Pellux control, registered with regsvr32 and created by its class
# identifier in a container (the view host program), which hands it the DVR's address, port, user
# and password through its properties and SetAddr; the view then connects to the simulator.
viewer_demo() {
  local sim=$BUILD/native/bin/dvrsim host=$BUILD/win/bin/viewhost.exe dll=$BUILD/win/bin/Pellux.dll
  [ -x "$sim" ] && [ -f "$host" ] && [ -f "$dll" ] || { echo "   viewer: not built"; return 1; }
  local port log=$ROOT/out/demo-viewhost.log stats=$ROOT/out/demo-viewer-stats.txt done=$BUILD/win/demo-viewer.done
  local simpid hostpid ok=1
  if "$WB" exec "$BUILD/win" wine regsvr32 /s "$(winepath_of "$dll")" >/dev/null 2>&1 \
    && "$WB" exec "$BUILD/win" wine reg query 'HKCR\PELLUX.PelluxCtrl.1\CLSID' 2>/dev/null | tr -d '\r' \
      | grep -q 'DDC012F8-A786-4584-856D-044BC1F49414'; then
    echo "   control: Pellux.dll registered with regsvr32 (PELLUX.PelluxCtrl.1)"
  else
    echo "   control: registration FAILED"; return 1
  fi
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  "$sim" --port "$port" --channels 16 >"$ROOT/out/demo-dvrsim.log" 2>&1 &
  simpid=$!
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  rm -f "$log" "$stats" "$done"
  # The host stays until the demo is done with it (--exit-when); --exit-after only guards against a
  # demo that never gets there.
  "$WB" run "$host" --address 127.0.0.1 --port "$port" --user admin --password 1111 --connect \
    --log "$(winepath_of "$log")" --stats "$(winepath_of "$stats")" --exit-when "$(winepath_of "$done")" \
    --exit-after 300 >"$ROOT/out/demo-viewhost.out" 2>&1 &
  hostpid=$!
  if wait_for 60 "the viewer's login" grep -q 'Waiting for images' "$log"; then
    # The simulator encodes its 16 streams once at the first channel request, then they flow: the
    # picture is taken once the viewer has drawn at least as many pictures in a second as there are
    # cameras.
    wait_for 120 "live pictures of the 16 cameras" pictures_flowing 16 || ok=0
    "$WB" exec "$BUILD/win" import -window root "$ROOT/out/demo-viewer.png" 2>/dev/null \
      && echo "   viewer: the control in its container, logged in to dvrsim on port $port, live video of 16 channels; screenshot out/demo-viewer.png"
    # What the viewer plays (the DVR's audio channel 1), as the sound server hears it.
    rm -f "$ROOT/out/demo-viewer-audio.wav"
    "$WB" exec "$BUILD/win" timeout 3 parecord -d nullsink.monitor --rate=8000 --channels=1 --format=s16le \
      --file-format=wav "$ROOT/out/demo-viewer-audio.wav" 2>/dev/null
    [ -s "$ROOT/out/demo-viewer-audio.wav" ] && echo "   viewer: 3 s of its sound output in out/demo-viewer-audio.wav"
    # Four notches of the real wheel over camera 6: that division shows a part of its picture, 2.4x.
    "$WB" exec "$BUILD/win" xdotool mousemove 230 200 click --repeat 4 --delay 150 4 2>/dev/null
    local lines; lines=$(wc -l <"$stats")
    wait_for 30 "pictures drawn after the wheel" lines_at_least "$stats" $((lines + 2)) || ok=0
    "$WB" exec "$BUILD/win" import -window root "$ROOT/out/demo-viewer-zoom.png" 2>/dev/null \
      && echo "   viewer: camera 6 zoomed with the mouse wheel; screenshot out/demo-viewer-zoom.png"
    # The DVR goes: the last pictures stay, dimmed, with their age, while the view makes its ten
    # reconnect attempts a second apart; once they are used up it logs "Connection failed." and the
    # pictures go. No status line marks the loss itself, so the screenshot waits for a second of the
    # viewer's figures without a frame and then for 3 s of its own clock (a picture shows its age
    # once it is 2 s old), and fails loudly when the view had given up by then.
    local logged; logged=$(wc -l <"$log")
    kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null
    if wait_for 60 "a second of the viewer's figures without frames" frames_stopped; then
      lines=$(wc -l <"$stats")
      wait_for 30 "3 s of the viewer's clock after the loss" lines_at_least "$stats" $((lines + 3)) || ok=0
      "$WB" exec "$BUILD/win" import -window root "$ROOT/out/demo-viewer-aged.png" 2>/dev/null
      if log_after "$logged" 'failed'; then
        echo "   FAILED: the viewer had given up reconnecting before the screenshot of its aged pictures"; ok=0
      elif [ -s "$ROOT/out/demo-viewer-aged.png" ]; then
        echo "   viewer: the DVR gone, its last pictures aged; screenshot out/demo-viewer-aged.png"
      fi
    else
      ok=0
    fi
  else
    echo "   viewer: no login (out/demo-viewhost.log, out/demo-dvrsim.log)"; ok=0
  fi
  touch "$done"
  # The host leaves by its own Exit command; only a stuck one is stopped, by its pids.
  for _ in $(seq 200); do kill -0 "$hostpid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$hostpid" 2>/dev/null; then
    kill $(ps -o pid= --ppid "$hostpid") "$hostpid" 2>/dev/null
  fi
  wait "$hostpid" 2>/dev/null
  kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null
  [ $ok = 1 ]
}
winepath_of() { echo "Z:$1" | tr / '\\'; }
viewer_demo

# Orvex as a person meets it: the simulator as the first site of its site file, the viewer (Pellux)
# and the module controls (Orvmods) registered with regsvr32, its skin and transport beside it.
orvex_install() {   # orvex_install PORT: the folder $ORVEX_DIR
  ORVEX_DIR=$BUILD/win/orvex-demo
  rm -rf "$ORVEX_DIR"; mkdir -p "$ORVEX_DIR/CONFIG"
  cp "$BUILD/win/bin/Orvex.exe" "$BUILD/win/bin/Conduix.dll" "$BUILD/win/bin/Lustrel.dll" "$ORVEX_DIR/" || return 1
  printf '[SETUP_INFO]\r\nNUMBER=2\r\n[DVR1]\r\nTYPE=0\r\nIP=127.0.0.1\r\nPORT=%s\r\nID=admin\r\nPWD=1111\r\nDDNS_MEMBER=\r\nDDNS_NAME=\r\nLOCATION=dvrsim    \r\n' \
    "$1" >"$ORVEX_DIR/CONFIG/H264Site.ini"
  local dll
  for dll in Pellux.dll Orvmods.dll; do
    "$WB" exec "$BUILD/win" wine regsvr32 /s "$(winepath_of "$BUILD/win/bin/$dll")" >/dev/null 2>&1 \
      || { echo "   Orvex: $dll could not be registered"; return 1; }
  done
}

# Without a display of the person's own: the tour (tools/orvextour) drives Orvex with the real
# pointer and keyboard, checks each step and photographs it.
orvex_tour() {
  local sim=$BUILD/native/bin/dvrsim port simpid rc
  [ -f "$BUILD/win/bin/Orvex.exe" ] && [ -f "$BUILD/win/bin/orvextour.exe" ] || { echo "   Orvex: not built"; return 1; }
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  orvex_install "$port" || return 1
  rm -f "$ROOT"/out/demo-orvex*
  "$sim" --port "$port" --channels 16 --log "$ROOT/out/demo-orvex-dvrsim.log" >/dev/null 2>&1 &
  simpid=$!
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  echo "   Orvex tour: the simulator on 127.0.0.1:$port as Orvex's first site; each step under the real pointer"
  "$WB" run "$BUILD/win/bin/orvextour.exe" --folder "$(winepath_of "$ORVEX_DIR")" \
    --sim-log "$ROOT/out/demo-orvex-dvrsim.log" --out "$ROOT/out" 2>/dev/null | sed -u 's/\r$//'
  rc=${PIPESTATUS[0]}
  kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null
  return "$rc"
}

# With a display of the person's own: the simulator and Orvex on it, left to the person until Orvex
# ends (the bench's session is stopped first; the prefix and its registrations stay).
orvex_for_person() {
  local sim=$BUILD/native/bin/dvrsim port simpid
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  orvex_install "$port" || return 1
  "$WB" stop "$BUILD/win"; trap - EXIT
  "$sim" --port "$port" --channels 16 --log "$ROOT/out/demo-orvex-dvrsim.log" >/dev/null 2>&1 &
  simpid=$!
  echo "   Orvex is open on your display with the simulator (127.0.0.1:$port) as its first site:"
  echo "   Orvex SETUP, SELECT, password 1111, LOGIN; VIEWER, CONNECT. Close Orvex to end the demo."
  (eval "$("$WB" env "$BUILD/win" | grep -v -e DISPLAY -e PULSE_ -e XDG_RUNTIME_DIR)"; export DISPLAY=$PERSON_DISPLAY
   unset PULSE_SERVER; wine "$ORVEX_DIR/Orvex.exe" >/dev/null 2>&1)
  kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null
}

BENCH_DISPLAY=:$(cat "$BUILD/win/winebench/session/display" 2>/dev/null)
if [ -n "$PERSON_DISPLAY" ] && [ "$PERSON_DISPLAY" != "$BENCH_DISPLAY" ]; then
  ORVEX_MODE=person
else
  orvex_tour && ORVEX_MODE=tour || ORVEX_MODE=failed
fi
cat <<'MSG'
Runs today: the Windows cross build, the Wine bench (windows, GDI, DirectSound play and capture,
COM registration) and the xvidcore bridge.
Also runs: the Pellux control (registered with regsvr32, created by its class identifier in a
container that sets its properties and calls SetAddr) with the viewer's main view inside
(connection, login, status log) against the DVR simulator, with live MPEG-4 video of 16 channels
decoded by 17 decode threads into the split-screen display, and the DVR's audio played through
DirectSound with the pictures held to its clock.
Also runs: Orvex, the site manager, as a person uses it: its site list, the login check against
the DVR, and its module windows hosting Pellux (the viewer) and the search, backup, player and
remote-setup controls (Orvmods), each handed the chosen site; the remote setup shows what the DVR
tells the viewer's connection (rights, channels, each camera's size and rates, the DVR's time). The tour above drove it with the
real pointer and keyboard; its screenshots are out/demo-orvex-NN-*.png, out/demo-orvex-viewer.png
shows Orvex with the viewer open on live video of 16 cameras. After the live part the tour records
every camera with the viewer's Ctrl+R into its recordings folder (until the store holds 6 s of
camera 1), plays that back in the player module, and opens the search module on the recorded day
with its motion events.
MSG
case $ORVEX_MODE in
  person) orvex_for_person ;;
  failed) echo "The Orvex tour did not complete: see the FAILED lines above and out/demo-orvex-*.png"; exit 1 ;;
esac
