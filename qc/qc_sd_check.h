// The factory test of the SD card: a file written to the card and read
// back.
#pragma once

/// Creates /media/card/QC.txt and writes "SD_Card_OK\r\n" into it. 1 when
/// the whole line was written and the file closed, else 0.
int save_sdcard();
/// Reads QC.txt back, printing each line. 1 when the file opened, else 0;
/// `*found` tells whether a line begins with "SD_Card_OK".
int read_sdcard(bool* found);
/// The whole check: 1 only when a card is mounted, the file was written
/// and its line read back; 0 otherwise. Prints "check=%d".
int QcSdCheck();
