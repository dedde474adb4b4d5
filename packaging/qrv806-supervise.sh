#!/bin/sh
# Runs the gateway firmware for the SysV init script: puts a program left by
# an update in place, starts the firmware, and starts it again whenever it
# ends with exit status 3, its request to be restarted. Any other end is
# final and becomes this script's exit status. TERM stops the firmware; a
# hang-up of the terminal it was started from does not.
#
# QRV806_APP: another folder in place of /APP (for trying the script out).
APP=${QRV806_APP:-/APP}
here=$(dirname "$0")

child=
stop() {
  if [ -n "$child" ]; then
    kill -TERM "$child" 2>/dev/null
    wait "$child"
  fi
  exit 0
}
trap stop TERM INT
trap '' HUP

while :; do
  "$here/install-fw"
  # In the background, so that a TERM is handled at once (the firmware
  # reads nothing from its standard input, which is then /dev/null).
  "$APP/qrv806" "$@" &
  child=$!
  wait "$child"
  status=$?
  child=
  [ "$status" -eq 3 ] || exit "$status"
  echo "qrv806: ended with status 3, starting it again"
  sleep 1
done
