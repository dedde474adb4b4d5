#include "event/alarm_text.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/console.h"
#include "config/config_data.h"
#include "config/time_utils.h"
#include "event/check_number.h"
#include "hw/analog_input.h"
#include "hw/gpio.h"
#include "modem/pdu_codec.h"

namespace {

constexpr int kUcs2Coding = 8;
// "(XX)" behind a machine-readable line.
constexpr int kCheckChars = 4;

// Local date "%Y%m%d" and time "%H%M%S" from one reading of the clock.
bool DateAndTime(char* date, char* time) {
  char now[40] = {0};
  getTimeStr(now, 's');
  const char* sep = std::strchr(now, '_');
  if (sep == nullptr) return false;
  std::snprintf(date, 9, "%.*s", static_cast<int>(sep - now), now);
  std::snprintf(time, 7, "%s", sep + 1);
  return true;
}

// Appends the check number of everything before it.
void AppendCheck(char* out) {
  const int len = static_cast<int>(std::strlen(out));
  std::snprintf(out + len, kAlarmTextSize - len, "(%02X)", cGetCheckNum(out, len));
}

// The event's message as text: UCS2 bytes up to the first zero byte.
void MessageText(const OrvelEvent& ev, char* out) {
  std::memcpy(out, ev.msg, kMsgSize);
  out[kMsgSize - 1] = '\0';
}

// A 7-bit text that does not fit one SMS as it is sent (a message of an
// older configuration file, a report of a name full of extension
// characters) loses its end in the modem: the console says so.
void TellIfOverOneSms(int n, const char* text) {
  const int len = static_cast<int>(std::strlen(text));
  const int septets = gsmIsoSeptetCount(text, len);
  if (septets <= kPduMaxSeptets) return;
  PrintMsg(">Event(%d) text takes %d septets, one SMS holds %d: only the first %d characters go out\r\n", n,
           septets, kPduMaxSeptets, gsmIsoCharsWithin(text, len, kPduMaxSeptets));
}

}  // namespace

int set_msg(char* out, int n, int is_report) {
  if ((is_report != 0 && is_report != 1) || n < 0 || n >= kEventCount) return -1;
  char date[9] = {0};
  char time[7] = {0};
  if (!DateAndTime(date, time)) return -1;
  // The live values of a status report take a conversion per analog channel:
  // read them before the settings are locked.
  uint8_t dbs = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    dbs = orvel_event[n].iIsSMSDBS;
  }
  int di[kDiCount] = {0};
  double ai[kAiCount] = {0};
  int dout[kDoCount] = {0};
  if (is_report == 1 && dbs == 0) {
    for (int c = 0; c < kDiCount; ++c) di[c] = DIV(static_cast<uint8_t>(c));
    for (int c = 0; c < kAiCount; ++c) ai[c] = AI_RD(c);
    for (int c = 0; c < kDoCount; ++c) dout[c] = DOV(static_cast<uint8_t>(c));
  }
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  const OrvelEvent& ev = orvel_event[n];
  const char* id = sys_config.cMachineID;
  std::memset(out, 0, kAlarmTextSize);

  if (is_report == 0 && dbs == 0) {
    if (ev.sms_mode == kUcs2Coding) {
      std::memcpy(out, ev.msg, kMsgSize);
    } else {
      MessageText(ev, out);
      TellIfOverOneSms(n, out);
    }
    return 0;
  }
  if (is_report == 0) {
    char message[kMsgSize];
    MessageText(ev, message);
    const int head = std::snprintf(out, kAlarmTextSize, "ALARM;%s;%s;%s;", id, date, time);
    // The message gives way so that the check number always fits one SMS
    // as it is sent, in septets (an extension character takes two).
    const int room = kPduMaxSeptets - kCheckChars - gsmIsoSeptetCount(out, head);
    const int keep =
        room > 0 ? gsmIsoCharsWithin(message, static_cast<int>(std::strlen(message)), room) : 0;
    std::snprintf(out + head, kAlarmTextSize - head, "%.*s", keep, message);
    AppendCheck(out);
    return 0;
  }
  const auto& c = sys_config.counter_status;
  if (dbs == 0) {
    char stamp[40] = {0};
    getTimeStr(stamp, 'w');
    std::snprintf(out, kAlarmTextSize, "CRPT%d;%s;%s;%d;%d;%d;%d;%d;%.04lf;%.04lf;%.04lf;%.04lf;%d;%d;%d;%d;%d;%d;%d", n,
                  id, stamp, di[0], di[1], di[2], di[3], di[4], ai[0], ai[1], ai[2], ai[3],
                  static_cast<int>(c[0].load()), static_cast<int>(c[1].load()), static_cast<int>(c[2].load()),
                  static_cast<int>(c[3].load()), static_cast<int>(c[4].load()), dout[0], dout[1]);
    TellIfOverOneSms(n, out);
    return 0;
  }
  std::snprintf(out, kAlarmTextSize, "CRPT;%s;%s;%s;%d;%d;%d;%d;%d;0", id, date, time, static_cast<int>(c[0].load()),
                static_cast<int>(c[1].load()), static_cast<int>(c[2].load()), static_cast<int>(c[3].load()),
                static_cast<int>(c[4].load()));
  AppendCheck(out);
  return 0;
}
