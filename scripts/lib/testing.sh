# shellcheck shell=bash disable=SC2034,SC2154
# (root, work and sim come from the sourcing script; sim_pty is for it.)
# Shared by the test scripts (sourced, not run): the pass/fail count, what a
# script starts in the background and stops again (qelisp-sim, ser2net, Xvfb,
# a Wine server), a fresh Wine prefix, and the simulated flash held to the
# image.
#
# The sourcing script sets `root` (the checkout) and `work` (its scratch
# folder) first. Sourcing sets the EXIT, INT and TERM traps.

# --- counting ----------------------------------------------------------------------
passed=0
failed=0
ok() { passed=$((passed + 1)); echo "ok: $*"; }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
# Runs a check: ok with the description when the command succeeds.
check() {
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
not() { ! "$@"; }
# The last line is "N passed, M failed"; the exit status 0 when none failed.
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}
# What the suite needs is not on this machine: 77, which CTest shows as
# skipped rather than passed.
skip() {
  echo "skipped: $*"
  exit 77
}
need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
  done
}
started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started))s"; }

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  local end=$(($(date +%s) + seconds))
  until "$@"; do
    [ "$(date +%s)" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# --- what a script starts --------------------------------------------------------------
# Everything started in the background goes into pids, its output into files:
# an inherited pipe would keep CTest waiting after the script has ended.
pids=()
on_exit=()
wine_in_use=0
# Stops what was started: SIGTERM, a moment's grace, then SIGKILL; and the
# Wine server of the prefix in use, with the programs and services it runs.
stop_all() {
  local pid alive=0
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && alive=1; done
  [ "$wine_in_use" -eq 1 ] && wineserver -k >/dev/null 2>&1
  if [ "$alive" -eq 1 ]; then
    sleep 0.2
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
  fi
  wait 2>/dev/null
  pids=()
}
testing_exit() {
  local command
  stop_all
  for command in "${on_exit[@]}"; do eval "$command"; done
}
trap testing_exit EXIT
trap 'exit 1' INT TERM

# --- the simulated instrument ----------------------------------------------------------
# Starts qelisp-sim ($sim) with the given options, its output in OUT and its
# log (stderr) in OUT.log; sets sim_pid, and sim_pty once it names its pty.
start_sim() {
  local out=$1
  shift
  "$sim" "$@" >"$out" 2>"$out.log" </dev/null &
  sim_pid=$!
  pids+=("$sim_pid")
  wait_for 5 grep -q '^pty: ' "$out" || { echo "qelisp-sim did not start: $(cat "$out" "$out.log")"; return 1; }
  sim_pty=$(sed -n 's/^pty: //p' "$out")
}
# SIGTERM to the simulator $1, then the violation count of its summary line in
# OUT ($2); empty when there is none.
stop_sim() {
  kill "$1" 2>/dev/null
  wait_for 5 not kill -0 "$1" 2>/dev/null
  sed -n 's/^qelisp-sim: lines [0-9]*, violations \([0-9]*\),.*/\1/p' "$2" | tail -1
}

# Compares a simulator's saved flash ($2) with the image built into the build
# in $1 (its firmware, model and version), made by the Linux build's
# qelisp-mkimage. Prints how many records match, or the first difference.
flash_matches_image() {
  local build=$1 flash=$2 image hex model version
  command -v python3 >/dev/null || { echo "python3 is needed to compare the flash with the image"; return 1; }
  image=$work/image-$(basename "$build").bin
  if [ ! -s "$image" ]; then
    hex=$(sed -n 's/^QELISP_FIRMWARE_HEX:FILEPATH=//p' "$build/CMakeCache.txt")
    model=$(sed -n 's/^QELISP_MODEL:STRING=//p' "$build/CMakeCache.txt")
    version=$(sed -n 's/^QELISP_VERSION:STRING=//p' "$build/CMakeCache.txt")
    "$root/build/linux/image/mkimage/qelisp-mkimage" --hex "$hex" --model "$model" --version "$version" \
      --binary "$image" >"$image.log" 2>&1 || { echo "qelisp-mkimage --binary failed: $(cat "$image.log")"; return 1; }
  fi
  "$root/scripts/flash-matches-image" "$image" "$flash"
}

# --- ser2net ---------------------------------------------------------------------------
# A TCP port on 127.0.0.1 that nothing listens on now (the system's pick).
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
listening() { ss -Hltn "sport = :$1" | grep -q .; }
# Starts ser2net serving the serial device $2 (a simulator's link) as a
# bench's server does: RFC 2217 on 127.0.0.1 port $3, with nodelay and no
# character delay (docs/remote-ports.md). Its log goes to OUT ($1), its
# configuration to OUT.yaml; sets ser2net_pid once it listens.
start_ser2net() {
  local out=$1 device=$2 port=$3
  cat >"$out.yaml" <<EOF
connection: &rfc2217
  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,$port
  connector: serialdev,$device,115200n81,local
  options:
    chardelay: false
EOF
  ser2net -n -d -c "$out.yaml" >"$out" 2>&1 </dev/null &
  ser2net_pid=$!
  pids+=("$ser2net_pid")
  wait_for 5 listening "$port" || { echo "ser2net does not listen on $port: $(cat "$out")"; return 1; }
}

# --- X ---------------------------------------------------------------------------------
# Starts Xvfb with the options after $1 on a display of its own, which Xvfb
# picks itself once it can listen there (so no two scripts take the same
# one), and exports DISPLAY. Its messages go to $1/xvfb.log. The screen is
# 1024x768 unless XVFB_SCREEN names another (WIDTHxHEIGHTxDEPTH).
start_xvfb() {
  local dir=$1 number=$1/xvfb.display
  shift
  rm -f "$number"
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp "$@" 3>"$number" >"$dir/xvfb.log" 2>&1 </dev/null &
  pids+=($!)
  wait_for 10 grep -q '^[0-9]' "$number" || { echo "Xvfb did not start: $(cat "$dir/xvfb.log")"; return 1; }
  DISPLAY=:$(head -1 "$number")
  export DISPLAY
}

# --- Wine --------------------------------------------------------------------------------
# Wine in the prefix $1, quiet and 64-bit, with no Mono or Gecko installer
# dialogs and no desktop menu entries on this machine. Its server is stopped
# on the way out.
wine_env() {
  wine_in_use=1
  export WINEPREFIX=$1 WINEDEBUG=-all WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}
# A fresh prefix at $WINEPREFIX; wineboot's output in $1. A first start now
# and then fails to load kernel32 into the new prefix; a second try, in a
# prefix made afresh, has got past it.
wine_new_prefix() {
  local log=$1 try
  for try in 1 2; do
    wineserver -k >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    timeout 180 wineboot -i >"$log" 2>&1 </dev/null && return 0
    [ "$try" -eq 1 ] && echo "note: wineboot failed once ($(tail -1 "$log")); trying again"
  done
  return 1
}
# Runs a program under Wine for at most $1 seconds, its output in the file $2:
# a pipe would be held open by the services Wine starts in the background.
wine_run() {
  local seconds=$1 log=$2
  shift 2
  timeout "$seconds" wine "$@" >"$log" 2>&1 </dev/null
}
