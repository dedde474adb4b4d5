// Is the SD card mounted at /media/card: the check behind if_sd_card, made
// at start-up and again by the factory test.
#pragma once

#include "base/sd_flags.h"

/// Sets if_sd_card to 1 when the card is mounted (never clears it).
/// Returns 1 present, 0 absent, -1 when the mount table cannot be read.
int sd_card_init();
