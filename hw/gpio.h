// Digital lines of the board over sysfs GPIO: inputs, outputs, the analog
// multiplexer select lines, the two LEDs and the init pin.
//
// The set-up opens, writes and closes the sysfs attribute files under
// platform::Path("/sys/class/gpio"). A line's value file is opened once and
// then read with pread from offset 0 (the present level every time) and
// written with pwrite, under one lock shared by all threads. Values are logical: the
// active_low attribute (set once by InitGPIO) makes the kernel invert the
// digital inputs. Results are 0 or a value, or the failing call's negative
// result.
#pragma once

#include <cstdint>
#include <string>

/// Exports the line unless its value file exists. 0, or the failing
/// open/write result, or -1 when the export created nothing.
int GPIO_open(int gpio);
int GPIO_set_dir(int gpio, int out);
int GPIO_set_active(int gpio, int low);
int GPIO_set_value(int gpio, int v);
/// 1 when the value file reads '1', 0 otherwise, or the failing call's result.
int GPIO_get_value(int gpio);
/// The line's value file as the firmware opens it.
std::string GPIO_value_path(int gpio);
/// Export, direction, active_low and, for an output, its first value.
int GPIO_io_init(int gpio, int out, int active_low, int value);
/// Sets up the fourteen lines of the pin map (after a 1 s pause). 0, or -1
/// when a line could not be set up (each such line is printed).
int InitGPIO();

/// Digital input 0..4: 1 active, 0 inactive; a failed read gives the low
/// byte of the failure (255 for -1). Channels above 4 read 255.
uint8_t DIV(uint8_t ch);
/// The value file DIV(ch) reads, for waiting on the input's edges; empty
/// for channels above 4.
std::string DIV_path(uint8_t ch);
/// Output read back: channel 0 is DO0, any other channel DO1.
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
/// The init push-pin: 1 while held (utility mode at start).
int PIN_INIT_V();
