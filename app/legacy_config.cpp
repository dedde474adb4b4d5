// The older configuration layout, kept for the "-resetconfig" start option:
// it writes a file that the current reader refuses at its first line, so the
// start that follows falls back to the factory defaults.
#include "app/legacy_config.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "base/console.h"
#include "config/string_format.h"
#include "modem/modem_state.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace {

// The settings record of the older layout: the serial port and the
// packet-data credentials.
struct LegacyConfig {
  uint32_t baudrate;
  int data_bits;
  char parity;
  int stop_bits;
};

LegacyConfig legacy_config;

}  // namespace

void init_qel_config() {
  legacy_config = LegacyConfig{115200, 8, 'N', 1};
  std::memset(modem_APN, 0, sizeof modem_APN);
  std::strcpy(modem_APN, "INTERNET");
  std::memset(modem_usr, 0, sizeof modem_usr);
  std::memset(modem_pwd, 0, sizeof modem_pwd);
  std::memset(modem_imei, 0, sizeof modem_imei);
  std::memset(modem_imei, '0', sizeof modem_imei - 1);
  modem_creg = 0;
  modem_csq = 0;
  send_sms_status = 0;
}

int save_qel_config() {
  std::string text;
  config::AppendFormat(&text, "COMDATA1=%d;%d;%c;%d\r\n", static_cast<int>(legacy_config.baudrate),
                       legacy_config.data_bits, legacy_config.parity, legacy_config.stop_bits);
  config::AppendFormat(&text, "APN=%s\r\n", modem_APN);
  config::AppendFormat(&text, "APNUSER=%s\r\n", modem_usr);
  config::AppendFormat(&text, "APNPWD=%s\r\n", modem_pwd);
  if (!platform::ReplaceFileAtomically(platform::Path("/APP/config.ini"), text)) {
    PrintMsg(">Open file fail(config.ini)\r\n");
    return 0;
  }
  return 1;
}
