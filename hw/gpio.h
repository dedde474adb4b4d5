// Digital lines of the board over sysfs GPIO: inputs, outputs, the analog
// multiplexer select lines, the two LEDs and the init pin.
#pragma once

#include <cstdint>

int GPIO_open(int gpio);
int GPIO_set_dir(int gpio, int out);
int GPIO_set_active(int gpio, int low);
int GPIO_set_value(int gpio, int v);
int GPIO_get_value(int gpio);
int GPIO_io_init(int gpio, int out, int active_low, int value);
int InitGPIO();

uint8_t DIV(uint8_t ch);
int DOV(uint8_t ch);
int ONDO(uint8_t ch);
int OFFDO(uint8_t ch);
int AI0_LOW();
int AI0_HIGH();
int AI1_LOW();
int AI1_HIGH();
int STA_LED_ON();
int STA_LED_OFF();
int STA_LED_V();
int GPS_LED_ON();
int GPS_LED_OFF();
int GPS_LED_V();
int PIN_INIT_V();
