// The start-up gate of the worker threads: they begin once the settings are
// cleared, read and the report schedule is set.
#pragma once

/// Polls every 50 ms until flg_init_clear, flg_init_config and
/// flg_init_rp_config are all 1.
void WaitUntilReady();
