# Sourced by bench/run-live.sh, bench/lipsync.sh, bench/soak.sh and bench/profile-live.sh: their common
# options, one simulator and one view host at a time, the samples taken from them, and the table row.
# Expects ROOT and BUILD (scripts/trees.sh); live_setup sets SIM, HOST, WB and HZ once OUT is known.

LIVE_SIM=0 LIVE_WRAP=0 LIVE_PID=0 LIVE_TAG=
LIVE_HOST_ARGS=() # more options for the view host

# A view host from another build (LIVE_HOST, --compare-host) runs in this tree's Wine session, with
# the DLLs of its own folder.
export WINEBENCH_TREE=$BUILD/win

LIVE_NAME=$(basename "$0" .sh)

# live_option ARGS...: the first of ARGS when it is an option every live script takes (--seconds,
# --warmup where the script has a WARMUP, --out, --help, a LOAD: LOAD and LOADS); LIVE_TAKEN is how
# many arguments it took. Anything else ends the script.
live_option() {
  LIVE_TAKEN=2
  case "$1" in
    --seconds) SECONDS_RUN=$2 ;;
    --warmup) [ -n "${WARMUP:-}" ] || live_unknown "$1"; WARMUP=$2 ;;
    --out) OUT=$2 ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1' "$0"; exit 0 ;;
    *x*) LOAD=$1 LIVE_TAKEN=1; LOADS+=("$1") ;;
    *) live_unknown "$1" ;;
  esac
}
live_unknown() { echo "$LIVE_NAME: unknown argument $1" >&2; exit 2; }

# live_setup: the simulator and the view host (LIVE_HOST: another build's) there, OUT made, HZ known.
live_setup() {
  SIM=$BUILD/native/bin/dvrsim HOST=${LIVE_HOST:-$BUILD/win/bin/viewhost.exe} WB=$ROOT/tools/winebench/winebench
  [ -x "$SIM" ] && [ -f "$HOST" ] || { echo "$LIVE_NAME: build dvrsim (native) and viewhost (win) first" >&2; exit 1; }
  mkdir -p "$OUT"
  HZ=$(getconf CLK_TCK)
}

winepath_of() { echo "Z:$1" | tr / '\\'; }

live_session_up() {
  local s=$BUILD/win/winebench/session p st
  [ -f "$s/ready" ] || return 1
  while read -r p _; do
    st=$(ps -o stat= -p "$p" 2>/dev/null) || return 1
    [ "${st:0:1}" != Z ] || return 1
  done < "$s/pids"
}

# live_begin: a Wine bench session for the run (the one already up, or one of our own that stops
# with the script), and the simulator and view host stopped however the script ends.
live_begin() {
  LIVE_OWN_SESSION=0
  if ! live_session_up; then
    "$WB" start "$BUILD/win" >/dev/null || exit 1
    LIVE_OWN_SESSION=1
  fi
  trap live_end EXIT
  trap 'exit 130' INT TERM
}
live_end() {
  live_stop
  [ "$LIVE_OWN_SESSION" = 1 ] && "$WB" stop "$BUILD/win" >/dev/null
}

session_pid() { awk -v n="$1" '$2 == n { print $1 }' "$BUILD/win/winebench/session/pids"; }

# live_start LOAD TAG EXIT_AFTER: the simulator with LOAD's cameras and the view host logged in to it;
# returns once the host shows pictures.
live_start() {
  local load=$1 tag=$2 exitAfter=$3 channels format dvr port i audio=()
  channels=${load%%x*} format=${load#*x}
  if [ "$channels" -gt 8 ]; then dvr=16; elif [ "$channels" -gt 4 ]; then dvr=8; else dvr=4; fi
  LIVE_TAG=$tag
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  rm -f "$OUT/$tag".*
  # The view requests only the channels its stored settings enable, and a settings file left by an
  # earlier run against a smaller DVR enables fewer: every run starts from the defaults.
  rm -f "$BUILD/win/winebench/prefix/drive_c/Program Files/Orvex/ViewSetup.dat"
  "$SIM" --port "$port" --channels "$dvr" --video "$format" --video-mask $(((1 << channels) - 1)) \
    --video-count-every 1 ${LIVE_SIM_ARGS:-} >"$OUT/$tag.sim.out" 2>"$OUT/$tag.sim.err" &
  LIVE_SIM=$!
  # A build from before the stored "Enable Audio" setting plays audio unasked and refuses the option.
  strings -el "$HOST" | grep -q -- --enable-audio && audio=(--enable-audio)
  for i in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  "$WB" run "$HOST" --address 127.0.0.1 --port "$port" --user admin --password 1111 --connect "${audio[@]}" \
    --log "$(winepath_of "$OUT/$tag.log")" --stats "$(winepath_of "$OUT/$tag.stats")" --exit-after "$exitAfter" \
    "${LIVE_HOST_ARGS[@]}" >"$OUT/$tag.host.out" 2>&1 &
  LIVE_WRAP=$!
  live_wait_shown "$HOST"
}

# live_wait_shown PROGRAM: LIVE_PID set to PROGRAM's Wine process (started by LIVE_WRAP) once its
# figures ($OUT/$LIVE_TAG.stats) count pictures shown; false when it ends first or after 60 s.
live_wait_shown() {
  local name i p
  name=$(basename "$1" | cut -c1-15)
  for i in $(seq 600); do
    # The Wine process names itself after the program once it runs it.
    LIVE_PID=0
    for p in $(pgrep -P "$LIVE_WRAP"); do
      [ "$(cat "/proc/$p/comm" 2>/dev/null)" = "$name" ] && LIVE_PID=$p
    done
    if [ "$LIVE_PID" != 0 ] && awk '!/^#/ && $3 > 0 { f = 1 } END { exit !f }' "$OUT/$LIVE_TAG.stats" 2>/dev/null; then
      return 0
    fi
    kill -0 "$LIVE_WRAP" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }

# live_sample NAME: sets NAME_time, NAME_sim_t, NAME_sent, NAME_line, NAME_shown, NAME_dropped,
# NAME_elapsed, NAME_cpu, NAME_other, NAME_simcpu, NAME_rss.
live_sample() {
  local n=$1 simline statline
  simline=$(grep -a 'video t=' "$OUT/$LIVE_TAG.sim.err" | tail -1)
  statline=$(grep -v '^#' "$OUT/$LIVE_TAG.stats" | tail -1)
  eval "${n}_time=$(date +%s.%N)"
  eval "${n}_sim_t=$(sed -n 's/.* t=\([0-9.]*\).*/\1/p' <<<"$simline")"
  eval "${n}_sent=$(sed -n 's/.*sent=\([0-9]*\).*/\1/p' <<<"$simline")"
  eval "${n}_line=$(grep -vc '^#' "$OUT/$LIVE_TAG.stats")"
  read -r e _ sh dr _ <<<"$statline"
  eval "${n}_elapsed=$e ${n}_shown=$sh ${n}_dropped=$dr"
  eval "${n}_cpu=$(cpu_ticks "$LIVE_PID")"
  eval "${n}_other=$(($(cpu_ticks "$(session_pid wineserver)") + $(cpu_ticks "$(session_pid xvfb)")))"
  eval "${n}_simcpu=$(cpu_ticks "$LIVE_SIM")"
  eval "${n}_rss=$(rss_kib "$LIVE_PID")"
}

# Stops the view host's Wine process and the simulator, by pid.
live_stop() {
  local i
  if [ "$LIVE_PID" != 0 ]; then
    kill "$LIVE_PID" 2>/dev/null
    for i in $(seq 50); do kill -0 "$LIVE_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$LIVE_PID" 2>/dev/null
  fi
  if [ "$LIVE_WRAP" != 0 ]; then
    for i in $(seq 50); do kill -0 "$LIVE_WRAP" 2>/dev/null || break; sleep 0.1; done
    kill "$LIVE_WRAP" 2>/dev/null
    wait "$LIVE_WRAP" 2>/dev/null
  fi
  if [ "$LIVE_SIM" != 0 ]; then
    kill "$LIVE_SIM" 2>/dev/null
    wait "$LIVE_SIM" 2>/dev/null
  fi
  LIVE_SIM=0 LIVE_WRAP=0 LIVE_PID=0
}

# live_row LOAD LABEL: the table row of the window between samples a and b.
live_row() {
  local lat
  # shellcheck disable=SC2154
  lat=$(grep -v '^#' "$OUT/$LIVE_TAG.stats" | sed -n "$((a_line + 1)),${b_line}p" | awk '
    BEGIN { n = 0; w = 0; k = 0 }
    $5 > 0 { m[n] = $6; p[n] = $7; n++; if ($7 > w) w = $7 }
    $11 > 0 { am[k] = $12; ap[k] = $13; k++ }
    function med(a, n,   i, j, t) {
      for (i = 1; i < n; i++) for (j = i; j > 0 && a[j-1] > a[j]; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t }
      return n % 2 ? a[int(n/2)] : (a[n/2-1] + a[n/2]) / 2 }
    END { if (n) printf "%.2f %.2f %.2f", med(m, n), med(p, n), w; else printf "- - -"
          if (k) printf " %.2f %.2f\n", med(am, k), med(ap, k); else print " - -" }')
  awk -v load="$1" -v rep="$2" -v st0="$a_sim_t" -v st1="$b_sim_t" -v s0="$a_sent" -v s1="$b_sent" \
      -v e0="$a_elapsed" -v e1="$b_elapsed" -v sh0="$a_shown" -v sh1="$b_shown" -v d0="$a_dropped" -v d1="$b_dropped" \
      -v c0="$a_cpu" -v c1="$b_cpu" -v o0="$a_other" -v o1="$b_other" -v m0="$a_simcpu" -v m1="$b_simcpu" -v t0="$a_time" -v t1="$b_time" \
      -v hz="$HZ" -v lat="$lat" 'BEGIN {
    split(lat, l, " ")
    rss = 0
    shown = sh1 - sh0
    cpu = (c1 - c0) / hz; other = (o1 - o0) / hz
    printf "%-7s %-8s %8.1f %8.1f %8d %10.3f %9.3f %8s %8s %10s %8s %8s  %5.2f %5.2f\n", load, rep,
      (st1 > st0 ? (s1 - s0) / (st1 - st0) : 0), (e1 > e0 ? shown / (e1 - e0) : 0), d1 - d0,
      (shown > 0 ? cpu * 1000 / shown : 0), (shown > 0 ? other * 1000 / shown : 0), l[1], l[2], "(" l[3] ")", l[4], l[5],
      cpu / (t1 - t0), (m1 - m0) / hz / (t1 - t0) }'
}
