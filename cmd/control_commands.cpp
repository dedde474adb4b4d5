// Serial commands that act on the whole unit: factory settings, the SMS
// journal, the bridge's serial settings, saving, rebooting, the factory
// test, and the save-and-read-back test.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/console.h"
#include "cmd/command_pause.h"
#include "cmd/command_fields.h"
#include "cmd/command_reply.h"
#include "cmd/handlers.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/file_lines.h"
#include "config/side_files.h"
#include "config/text_utils.h"
#include "modem/serial_port.h"
#include "platform/paths.h"
#include "platform/system_actions.h"
#include "qc/qc_test.h"

// Defined beside @DEVNAME, which reports it.
extern const char kModelName[];

std::atomic<int> command_pause_ms{1000};
std::atomic<int> smslog_piece_pause_ms{10};

namespace {

constexpr char kQcStart[] = "**********QC START**********\r\n";
constexpr char kQcEnd[] = "***********QC END***********\r\n";
constexpr uint32_t kBaudrates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800};
// fgets-sized pieces: a long journal line goes out in several writes.
constexpr int kPieceChars = 511;

using Fields = CommandFields<5>;


void Pause(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One piece of the journal as fgets would take it: through the next LF, or
// kPieceChars bytes. Bytes are counted, not scanned for a zero, so the piece
// goes out exactly as stored.
int ReadPiece(FILE* file, char* piece) {
  int len = 0;
  while (len < kPieceChars) {
    const int c = std::getc(file);
    if (c == EOF) break;
    piece[len++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return len;
}

int ListSmsLog(const EchoedCommand& cmd) {
  FILE* file = std::fopen(platform::Path("/APP/sms_log.ini").c_str(), "rb");
  if (file == nullptr) return ReplyValues(cmd, "%s", "(-Non)");
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::rewind(file);
  // A long journal takes a while at one pause per line.
  PrintMsg(">List sms_log.ini (%ld bytes)\r\n", size);
  ReplyValues(cmd, "%s", "START");
  char piece[kPieceChars];
  for (int len; (len = ReadPiece(file, piece)) > 0;) {
    ReplyWrite(piece, len);
    Pause(smslog_piece_pause_ms);
  }
  std::fclose(file);  // NOLINT(cert-err33-c): the journal was only read: nothing to lose
  ReplyValues(cmd, "%s", "END");
  return 1;
}

bool KnownBaudrate(uint64_t baud) {
  for (uint32_t b : kBaudrates) {
    if (baud == b) return true;
  }
  return false;
}

}  // namespace

int cmd_default(char* line, int /*match_len*/) {
  // The echo is taken before set_default, which also clears the receive
  // buffer the line may have come from.
  const EchoedCommand cmd(line);
  if (Fields(line).count > 0) return ReplyEr(cmd);
  set_default();
  Pause(command_pause_ms);
  return ReplyOk(cmd, kModelName);
}

int cmd_smslog(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  const Fields f(line);
  if (f.count == 0) return ListSmsLog(cmd);
  if (f.count != 1 || std::strcmp(f.at[0], "(CLR)") != 0 || clear_sms_log() != 0) return ReplyEr(cmd);
  return ReplyOk(cmd);
}

int cmd_uartset(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  const Fields f(line);
  if (f.count == 0) {
    const UartSettings u = UartSettingsCopy();
    return ReplyValues(cmd, "%d;%c;%d;%d;%s", static_cast<int>(u.baud), u.parity, u.data_bits, u.stop_bits,
                       u.bridge != 0 ? "ON" : "OFF");
  }
  if (f.count != 5) return ReplyEr(cmd);
  uint64_t baud = 0;
  uint64_t data_bits = 0;
  uint64_t stop_bits = 0;
  const char parity = f.at[1][0];
  const char* bridge = f.at[4];
  const bool on = std::strncmp(bridge, "ON", 2) == 0;
  if (!DecimalField(f.at[0], UINT32_MAX, &baud) || !KnownBaudrate(baud) ||
      (parity != 'O' && parity != 'E' && parity != 'N') || !DecimalField(f.at[2], 8, &data_bits) ||
      (data_bits != 7 && data_bits != 8) || !DecimalField(f.at[3], 2, &stop_bits) ||
      (stop_bits != 1 && stop_bits != 2) || (!on && std::strncmp(bridge, "OFF", 3) != 0)) {
    return ReplyEr(cmd);
  }
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    sys_config.uiBaudrate = static_cast<uint32_t>(baud);
    sys_config.cParity = parity;
    sys_config.uiDataBit = static_cast<uint8_t>(data_bits);
    sys_config.uiStopBit = static_cast<uint8_t>(stop_bits);
    sys_config.cIsUart2SMS = on ? 1 : 0;
  }
  return ReplyOk(cmd);
}

int cmd_save(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (Fields(line).count > 0 || save_orvel_config() != 1) return ReplyEr(cmd);
  Pause(command_pause_ms);
  return ReplyOk(cmd, kModelName);
}

int cmd_reboot(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (Fields(line).count > 0) return ReplyEr(cmd);
  // The reply goes out first; unsaved changes are lost with the reboot.
  ReplyOk(cmd, kModelName);
  platform::RebootForce();
  PrintMsg(">Reboot request returned; the board is still running\r\n");
  return 1;
}

int cmd_qctest(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (Fields(line).count > 0) return ReplyEr(cmd);
  ReplyValues(cmd, "%s", kModelName);
  ReplyWrite(kQcStart, sizeof kQcStart - 1);
  Pause(command_pause_ms);
  // The factory test opens and uses the port itself until the station ends
  // it; the command protocol waits meanwhile.
  PrintMsg(">QC test has the serial port until it ends\r\n");
  const int port = uart1.exchange(0);
  if (port > 0) uart_close(port);
  qc_test(0);
  const int fd = uart_open(platform::Path("/dev/ttyHSL3").c_str(), 115200, 8, 'N', 1);
  // On failure uart1 stays 0: the dispatcher keeps trying to reopen the
  // port and says so on the console.
  if (fd < 0) return 1;
  uart1 = fd;
  ReplyWrite(kQcEnd, sizeof kQcEnd - 1);
  return 1;
}

int cmd_test(char* /*line*/, int /*match_len*/) {
  PrintMsg("Test function start!!\r\n");
  // Reading back after a failed save would load the old file over the
  // settings that could not be saved.
  if (save_orvel_config() != 1) {
    PrintMsg(">Test: config.ini not saved, settings not read back\r\n");
    return 0;
  }
  Pause(command_pause_ms);
  if (read_orvel_config() != 1) PrintMsg(">Test: config.ini did not read back\r\n");
  return 1;
}
