#include "base/sd_flags.h"

std::atomic<int32_t> if_sd_card{0};
std::atomic<int32_t> if_config_exist{0};
std::atomic<int32_t> if_fw_exist{0};
std::atomic<int32_t> if_fw_update{0};
std::atomic<int32_t> if_fw_update_error{0};
