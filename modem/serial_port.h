// Serial port layer: raw terminal devices (the modem's AT channel and the
// terminal port), written whole and read without ever blocking.
#pragma once

#include <termios.h>

#include <cstdint>

/// Opens a device read-write in raw mode with the given line setting.
/// Returns the descriptor, or the negative result of open or set_opt.
int uart_open(const char* path, uint32_t baud, uint8_t data_bits, char parity, uint8_t stop_bits);
/// The attribute record set_opt applies for a line setting: raw, receiver on,
/// modem lines ignored, the given size, parity, speed and stop bits.
termios SerialLineSettings(uint32_t baud, uint8_t data_bits, char parity, uint8_t stop_bits);
/// Applies a line setting; 0 on success, -1 on failure.
int set_opt(int fd, uint32_t baud, uint8_t data_bits, char parity, uint8_t stop_bits);
int uart_close(int fd);
/// One write call; returns its result.
int uart_write(int fd, const void* buf, int len);
/// Reads what is pending, at most max_len bytes; 0 when nothing is pending.
int uart_read(int fd, void* buf, int max_len);
/// Writes a command, waits wait_ms, then takes what arrived (at most 1024
/// bytes; `response` must hold 1025). Returns the number of bytes taken.
int uart_write_read(int fd, const void* cmd, int cmd_len, char* response, int wait_ms);
/// Bytes waiting in the input queue; -1 for a negative descriptor, -2 when
/// the query fails.
int uart_datasize_in_com(int fd);
