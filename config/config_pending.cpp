// Temporary: replaced by the configuration files and helpers when they land.
#include <cstring>

#include "config/config_file.h"
#include "config/legacy_config.h"
#include "config/side_files.h"
#include "config/text_utils.h"
#include "config/time_utils.h"
#include "platform/clock.h"

char modem_APN[64];
char modem_usr[32];
char modem_pwd[32];
char modem_imei[16];

void init_orvel_config() { flg_init_clear = 1; }
void set_default() { flg_init_config = 1; }
int read_orvel_config() { return 0; }
int save_orvel_config() { return 0; }
int read_gain_offset() { return 0; }
int save_gain_offset() { return 0; }
int read_counter_status() { return 0; }
int save_counter_status() { return 0; }
int save_sms_log(const char*, const char*, int, int) { return -1; }
int clear_sms_log() { return -1; }
void init_qel_config() {}
int save_qel_config() { return 0; }
char* get_next_str(char* text, char**, char) { return text; }
char* get_entry(char* text, char**) { return text; }
void Hex2HexStr(char* out, const char*, int) { out[0] = 0; }
void HexStr2Hex(const char*, char* out) { std::memset(out, 0, 161); }
int phone_number_chk(const char*, const char (*)[kPhoneSize]) { return 0; }
int getTimeStr(char* out, char) { out[0] = 0; return 0; }
char* SecondToStr(uint32_t, char*, char* time) { return time; }
uint32_t GetSystemTimeSeconds() { return static_cast<uint32_t>(platform::SystemClock().Now().tv_sec); }
uint32_t GetNowTodaySeconds() { return 0; }
uint32_t GetTimeTodaySeconds(const char*) { return 0; }
uint32_t GetTimeToday0000Seconds() { return 0; }
uint32_t TimeAddDaySeconds(uint32_t t, uint32_t days) { return t + days * 86400; }
int IsYMD(const char*) { return 0; }
int IsHMS(const char*) { return 0; }
int SetSystemTime(const char*, const char*) { return 0; }
uint32_t GetTimeTicks() {
  timeval tv = platform::SystemClock().Now();
  return static_cast<uint32_t>(uint64_t(tv.tv_sec) * 1000 + tv.tv_usec / 1000);
}
