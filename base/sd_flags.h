// The SD card and update flags. The start-up's update check sets them
// before any thread runs; the voice prompts, the event actions, the status
// commands, the logs and the factory test read if_sd_card later.
#pragma once

#include <atomic>
#include <cstdint>

/// 1 when the card was found mounted at /media/card.
extern std::atomic<int32_t> if_sd_card;
/// 1 when the update folder holds config.ini.
extern std::atomic<int32_t> if_config_exist;
/// 1 when the update folder holds fw.
extern std::atomic<int32_t> if_fw_exist;
/// 1 once the new program was moved to /APP/fw.
extern std::atomic<int32_t> if_fw_update;
/// 1 when fw or config.ini was still in the update folder after the update.
extern std::atomic<int32_t> if_fw_update_error;
