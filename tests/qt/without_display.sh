#!/usr/bin/env bash
# qelisp without a display: --version and --help answer, and the window,
# with no display or one that does not answer, says so in one line and
# exits 1 rather than aborting.
#   without_display.sh QELISP PROGRAM_VERSION
set -u
qelisp=$1 version=$2
failed=0
# args | DISPLAY ("-": unset) | exit | a line of the output
while IFS='|' read -r args display status expected; do
  if [ "$display" = - ]; then display_env=(-u DISPLAY); else display_env=(DISPLAY="$display"); fi
  # shellcheck disable=SC2086
  out=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${display_env[@]}" timeout 20 "$qelisp" $args 2>&1)
  got=$?
  if [ "$got" -eq "$status" ] && grep -q -F -- "$expected" <<<"$out"; then
    echo "ok: qelisp $args (DISPLAY $display): exit $got, \"$expected\""
  else
    echo "FAIL: qelisp $args (DISPLAY $display): exit $got, wanted $status and \"$expected\"; said: $out"
    failed=1
  fi
done <<EOF2
--version|-|0|qelisp $version
--help|-|0|--port NAME
--port ttyUSB0|-|1|qelisp: no display to open the window on
|:99999|1|qelisp: the window cannot open: no display answers at DISPLAY=:99999
EOF2
exit "$failed"
