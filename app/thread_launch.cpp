#include "app/thread_launch.h"

#include "app/led.h"
#include "base/console.h"
#include "cmd/sms_remote.h"
#include "cmd/uart_bridge.h"
#include "cmd/utility_thread.h"
#include "event/auto_report.h"
#include "event/do_control.h"
#include "event/input_events.h"
#include "event/pulse_counter.h"
#include "hw/rtc.h"
#include "log/log_store.h"
#include "modem/modem_loop.h"
#include "modem/packet_data_call.h"
#include "queue/sms_sender.h"
#include "queue/voice_sender.h"

namespace {

struct ThreadEntry {
  ThreadBody body;
  const char* failure;  // printed when the thread cannot be created
};

void StartAll(const ThreadEntry* list, int count, ThreadStarter start) {
  for (int i = 0; i < count; ++i) {
    if (start(list[i].body)) continue;
    if (list[i].body == ThreadLog) {
      // This one reports outside the console printer.
      const char msg[] = "Function main: Create Thread \"ThreadLog\" Failed\r\n";
      ConsoleWrite(msg, sizeof msg - 1);
    } else if (list[i].failure) {
      PrintMsg("%s", list[i].failure);
    }
  }
}

}  // namespace

void StartNormalModeThreads(ThreadStarter start) {
  static const ThreadEntry kThreads[] = {
      {thread_rtc2system, "error: create thread_rtc2system\r\n"},
      {thread_modem, "error: create thread_modem\r\n"},
      {thread_led, "error: create thread_led\r\n"},
      {thread_sms_buffer, "error: create thread_sms_buffer\r\n"},
      {thread_voice_buffer, "error: create thread_voice_buffer\r\n"},
      {thread_check_event, "error: create thread_check_event\r\n"},
      {thread_do_handle, "error: create thread_do_handle\r\n"},
      {thread_counter_handle, "error: create thread_counter_handle\r\n"},
      {thread_auto_report, "error: create thread_auto_report\r\n"},
      {thread_recv_SMS, "error: create thread_recv_SMS\r\n"},
      {thread_UART_CMD, "error: create thread_UART_CMD\r\n"},
      {ThreadLog, nullptr},
      {thread_net, nullptr},  // silent when it cannot start
  };
  StartAll(kThreads, sizeof kThreads / sizeof kThreads[0], start);
}

void StartUtilityModeThreads(ThreadStarter start) {
  static const ThreadEntry kThreads[] = {
      {thread_rtc2system, "error: create thread_rtc2system\r\n"},
      {thread_modem, "error: create thread_modem\r\n"},
      {thread_led, "error: create thread_led\r\n"},
      {thread_sms_utility, "error: create thread_sms_utility\r\n"},
      {thread_do_handle, "error: create thread_do_handle\r\n"},
      {thread_sms_buffer, "error: create thread_sms_buffer\r\n"},
  };
  StartAll(kThreads, sizeof kThreads / sizeof kThreads[0], start);
}

bool StartUpdateModeThreads(ThreadStarter start) {
  if (start(thread_led)) return true;
  PrintMsg(">error: create thread_led\n");
  return false;
}
