#include "cmd/uart_bridge.h"

#include <cstring>
#include <mutex>

#include "base/console.h"
#include "base/sleep.h"
#include "base/thread_start.h"
#include "cmd/command_reply.h"
#include "cmd/utility_thread.h"
#include "config/config_data.h"
#include "config/readiness.h"
#include "modem/pdu_codec.h"
#include "modem/serial_port.h"
#include "platform/paths.h"
#include "queue/sms_queue.h"

std::atomic<int> bridge_echo_pause_ms{2000};

namespace {

constexpr char kInitPinProbe[] = "++InitPin";
constexpr char kSendPrefix[] = "+++";
constexpr int kQueueRetryMs = 500;
constexpr int kQueueNoticeMs = 30000;  // how often a wait for room is repeated on the console
// Longer than any line the framing delivers (at most 1000 bytes a read).
constexpr size_t kBridgeLineMax = 2048;

// Only this thread opens or closes the port in normal mode, so a port that
// is gone stays gone: wait without spinning.
int BridgePort() {
  const int fd = uart1.load();
  if (fd > 0) return fd;
  SleepMilliseconds(1000);
  return -1;
}

void Answer(const char* text) { ReplyWrite(text, static_cast<int>(std::strlen(text))); }

// A full queue would drop the message while the host is told it went, so
// the line waits for room; the host sees no echo until it is queued.
void QueueForUartPhone(const char* text) {
  char phone[kPhoneSize];
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memcpy(phone, sys_config.UartPhone, kPhoneSize);
  }
  if (phone[0] == '\0') PrintMsg(">UartPhone is empty: set it with @UARTPH, this message cannot be delivered\r\n");
  int slot = 0;
  for (int waited = 0; !SmsTextTryPut(text, phone, &slot); waited += kQueueRetryMs) {
    if (waited % kQueueNoticeMs == 0) PrintMsg(">SMS queue is full: the message waits for room\r\n");
    SleepMilliseconds(kQueueRetryMs);
  }
}

}  // namespace

int UartBridgeHandleLine(const char* line) {
  if (std::strncmp(line, kInitPinProbe, sizeof kInitPinProbe - 1) == 0) {
    PrintMsg(">OK: InitPin == 0!!\r\n");
    Answer("++InitPin;OK;0\r\n");
    return 0;
  }
  if (std::strncmp(line, kSendPrefix, sizeof kSendPrefix - 1) != 0) {
    PrintMsg(">Err02: Command format error!!\r\n");
    Answer("Err02\r\n");
    return 0;
  }
  const char* text = line + sizeof kSendPrefix - 1;
  // One SMS holds 160 septets, and an extension character takes two: a
  // longer text is refused, never sent cut.
  const size_t len = strnlen(text, kBridgeLineMax);
  if (gsmIsoSeptetCount(text, static_cast<int>(len)) > kPduMaxSeptets) {
    PrintMsg(">Err01: SMS Content size is over 160!!\r\n");
    Answer("Err01\r\n");
    return 0;
  }
  PrintMsg(">Sendback: %s\r\n", text);
  QueueForUartPhone(text);
  SleepMilliseconds(bridge_echo_pause_ms.load());
  ReplyWrite(text, static_cast<int>(len));
  return 1;
}

int UartBridgeServeOnce(int idle_timeout_ms) {
  static const LineFraming kBridge{BridgePort, "--> read Data from uart1, len= %d\r\n", "--> recv. command: %s\r\n"};
  return ServeLineOnce(kBridge, idle_timeout_ms, UartBridgeHandleLine);
}

BridgeStart UartBridgeStart() {
  const UartSettings u = UartSettingsCopy();
  const int fd = uart_open(platform::Path("/dev/ttyHSL3").c_str(), u.baud, u.data_bits, u.parity, u.stop_bits);
  if (fd <= 0) {
    PrintMsg("open uart1 fails\r\n");
    return BridgeStart::kPortFailed;
  }
  uart1 = fd;
  if (u.bridge != 1) {
    PrintMsg(">UART send SMS is disable.\r\n");
    return BridgeStart::kDisabled;
  }
  PrintMsg(">UART to Send SMS funcion is enable.\r\n");
  return BridgeStart::kRunning;
}

void* thread_UART_CMD(void*) {
  NameThisThread("uart_bridge");
  WaitUntilReady();
  PrintMsg("[thread_UART_CMD is start]\r\n");
  if (UartBridgeStart() != BridgeStart::kRunning) return nullptr;
  for (;;) UartBridgeServeOnce(-1);
  return nullptr;
}
