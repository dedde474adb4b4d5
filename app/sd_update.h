// SD card detection and the configuration and program updates taken from
// /media/card/update at start-up.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<int32_t> if_sd_card;
extern std::atomic<int32_t> if_config_exist;
extern std::atomic<int32_t> if_fw_exist;
extern std::atomic<int32_t> if_fw_update;
extern std::atomic<int32_t> if_fw_update_error;

int sd_card_init();
int check_if_config_update();
int check_if_fw_update();
