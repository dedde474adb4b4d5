// Temporary: replaced by the SD card and update check when it lands.
#include "app/sd_update.h"

std::atomic<int32_t> if_sd_card{0};
std::atomic<int32_t> if_config_exist{0};
std::atomic<int32_t> if_fw_exist{0};
std::atomic<int32_t> if_fw_update{0};
std::atomic<int32_t> if_fw_update_error{0};

int sd_card_init() { return 0; }
int check_if_config_update() { return 0; }
int check_if_fw_update() { return 0; }
