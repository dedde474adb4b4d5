// The settings of the older configuration layout. The running system only
// uses it for the "-resetconfig" start option, which also resets the
// packet-data credentials and some modem state words (modem/modem_state.h).
#pragma once

void init_qel_config();
/// Writes /APP/config.ini in the old layout; 1 when written.
int save_qel_config();
