// Any text as the answer to "AT+CMGRD=%d\r\n": gmSMS_getReadMsg must give a
// bounded record or 0. Each input is tried as it is, and behind a valid
// "+CMGRD: " line so that the PDU decoder is reached on every run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "modem/sms_transport.h"

namespace {

void Check(const std::string& input) {
  std::unique_ptr<char[]> text(new char[input.size() + 1]);
  std::memcpy(text.get(), input.data(), input.size());
  text[input.size()] = '\0';
  sms_msg m;
  std::memset(&m, 0xA5, sizeof m);
  int result = gmSMS_getReadMsg(text.get(), &m);
  if (result == 0) return;
  if (result != 1) abort();
  if (strnlen(m.phone, sizeof m.phone) > 16) abort();  // "+" and 15 digits
  if (m.msg_len > kSmsBodyMax || m.msg[m.msg_len] != '\0') abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  Check(input);
  Check("AT+CMGRD=0\r\r\n+CMGRD: 0,,24\r\n" + input + "\r\n\r\nOK\r\n");
  return 0;
}
