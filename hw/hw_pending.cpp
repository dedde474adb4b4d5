// Temporary: replaced by the board I/O layer when it lands.
#include <unistd.h>

#include "hw/analog_input.h"
#include "hw/gpio.h"
#include "hw/rtc.h"

RtcTime Sysrtc;

int GPIO_open(int) { return -1; }
int GPIO_set_dir(int, int) { return -1; }
int GPIO_set_active(int, int) { return -1; }
int GPIO_set_value(int, int) { return -1; }
int GPIO_get_value(int) { return -1; }
int GPIO_io_init(int, int, int, int) { return -1; }
int InitGPIO() { return 0; }
uint8_t DIV(uint8_t) { return 0; }
int DOV(uint8_t) { return 0; }
int ONDO(uint8_t) { return 0; }
int OFFDO(uint8_t) { return 0; }
int AI0_LOW() { return 0; }
int AI0_HIGH() { return 0; }
int AI1_LOW() { return 0; }
int AI1_HIGH() { return 0; }
int STA_LED_ON() { return 0; }
int STA_LED_OFF() { return 0; }
int STA_LED_V() { return 0; }
int GPS_LED_ON() { return 0; }
int GPS_LED_OFF() { return 0; }
int GPS_LED_V() { return 0; }
int PIN_INIT_V() { return 0; }
int InitI2C() { return 0; }
int I2C_Write(uint8_t, uint8_t, int, const uint8_t*) { return -1; }
int I2C_Read(uint8_t, uint8_t, int, uint8_t*) { return -1; }
int InitADC() { return 0; }
int ReadADCRegister() { return 0; }
uint32_t AI_read(int) { return 0; }
double ai_hex2double(uint32_t) { return 0; }
double AI_RD(int) { return 0; }
void AI_read_all() {}
uint8_t bin2bcd(uint32_t v) { return static_cast<uint8_t>((v % 10) | ((v / 10) << 4)); }
uint32_t bcd2bin(uint8_t v) { return (v >> 4) * 10 + (v & 0xF); }
int wday_rtc2sys(uint8_t) { return 0; }
int RTC_Read(RtcTime*) { return 0; }
int RTC_Write(int, int, int, int, int, int, int) { return 0; }
int tm2rtc(const struct tm*, RtcTime*) { return 0; }
int RTC_Read2sys() { return 0; }
int chk_sys_rtc_time() { return 0; }
void* thread_rtc2system(void*) {
  for (;;) pause();
}
