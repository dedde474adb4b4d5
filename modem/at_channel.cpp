#include "modem/at_channel.h"

#include "base/sleep.h"
#include "modem/serial_port.h"

int SerialAtChannel::DoWriteRead(const char* cmd, int len, char* response, int wait_ms) {
  return uart_write_read(fd_, cmd, len, response, wait_ms);
}

int SerialAtChannel::DoRead(char* buf, int max_len) { return uart_read(fd_, buf, max_len); }

void SerialAtChannel::DoPause(int ms) { SleepMilliseconds(ms); }

