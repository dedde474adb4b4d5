#!/bin/sh
# Puts a program that an update left in /APP/fw in place as the firmware,
# before the firmware starts. The firmware itself only moves a new program
# from the SD card to /APP/fw and reboots; installing it is the start-up's job.
#
# /APP/fw is copied, not moved: it stays the copy of the running program that
# the next update backs up to the card (fw.bck) and compares a card's program
# with. A file that is not a program for this board is left alone, and the
# firmware that runs keeps running.
#
# QRV806_APP: another folder in place of /APP (for trying the script out).
APP=${QRV806_APP:-/APP}
new=$APP/fw
fw=$APP/qrv806

# ELF magic, word size, byte order and machine of a file ("" when unreadable).
elf_kind() {
  od -An -tx1 -N20 "$1" 2>/dev/null | tr -s ' \n' '  ' | cut -d' ' -f2-7,20-21
}

[ -f "$new" ] || exit 0
cmp -s "$new" "$fw" && exit 0

kind=$(elf_kind "$new")
case "$kind" in
  "7f 45 4c 46 "*) ;;
  *)
    echo "qrv806: $new is not a program; keeping $fw" >&2
    exit 0
    ;;
esac
if [ -f "$fw" ] && [ "$kind" != "$(elf_kind "$fw")" ]; then
  echo "qrv806: $new is built for another machine; keeping $fw" >&2
  exit 0
fi

# A copy next to the firmware, then a rename: a power cut leaves the old
# program or the new one, never half of one.
tmp=$fw.new
if cp "$new" "$tmp" && chmod 755 "$tmp" && sync && mv -f "$tmp" "$fw"; then
  sync
  echo "qrv806: installed the new program from $new"
else
  rm -f "$tmp"
  echo "qrv806: could not install $new; keeping $fw" >&2
fi
exit 0
