// The configuration and program updates taken from /media/card/update at
// start-up.
//
// main calls sd_card_init (hw/sd_card.h), check_if_config_update and, when
// if_fw_exist is 1, check_if_fw_update, in that order and before any other
// thread runs; the flags carry the outcome (if_fw_update selects the
// firmware-update mode, if_fw_update_error its failure pattern).
#pragma once

#include "base/sd_flags.h"
#include "hw/sd_card.h"

/// Looks for update/config.ini and update/fw; installs a new config.ini
/// (the old one saved as update/config.ini.bck). Returns 1 when a
/// configuration was installed, otherwise 0.
int check_if_config_update();
/// Installs update/fw as /APP/fw (the old one saved as update/fw.bck, and
/// config.ini saved too unless a new one came) and checks that nothing was
/// left behind. Returns 1 when the update was made, 0 without a card or when
/// update/fw is byte for byte /APP/fw (installed already: no update), -1
/// when the folder could not be listed afterwards.
int check_if_fw_update();
