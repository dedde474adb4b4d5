// The settings of the older configuration layout. The running system only
// uses it for the "-resetconfig" start option.
#pragma once

extern char modem_APN[64];
extern char modem_usr[32];
extern char modem_pwd[32];
extern char modem_imei[16];

void init_qel_config();
/// Writes /APP/config.ini in the old layout; 1 when written.
int save_qel_config();
