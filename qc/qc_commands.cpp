#include "qc/qc_commands.h"

#include <cstdint>
#include <cstring>

#include "base/console.h"
#include "base/sleep.h"
#include "base/version.h"
#include "cmd/command_fields.h"
#include "config/config_data.h"
#include "config/string_format.h"
#include "config/time_utils.h"
#include "hw/gpio.h"
#include "hw/rtc.h"
#include "modem/modem_state.h"
#include "qc/qc_calibration.h"
#include "qc/qc_data_report.h"
#include "qc/qc_pauses.h"
#include "qc/qc_sd_check.h"
#include "qc/qc_sms_loop.h"

namespace {

constexpr int kAiChannels = 4;
// The channel of @QCAI0/1/2 starts behind the six-letter name and one
// separator; that of @AIV behind its four letters and one separator.
constexpr size_t kQcaiChannelAt = 7;
constexpr size_t kAivChannelAt = 5;

using Handler = QcNext (*)(const char* command, std::string* reply);

// The analog channel written at `at` (counted from 0), read by position and
// by the one reader of numbers behind a command name: a text too short to
// reach it reads as channel 0. A number beyond the four channels, a sign or
// a blank is no channel: the command then answers like an unknown one
// rather than read a channel it was not asked for.
bool ChannelAt(const char* command, size_t at, int* ch) {
  const int64_t n = NumberBehindName(command, at, kAiChannels - 1);
  if (n < 0) return false;
  *ch = static_cast<int>(n);
  return true;
}

QcNext NoChannel(const char* command, size_t at, std::string* reply) {
  PrintMsg(">%s: no analog channel 0 to 3 at character %d\r\n", command, static_cast<int>(at + 1));
  *reply = "N/A\r\n";
  return QcNext::kContinue;
}

QcNext FirmwareVersion(const char*, std::string* reply) {
  config::AppendFormat(reply, "!FWVER;%s\r\n", kFirmwareVersion);
  return QcNext::kContinue;
}

QcNext ReadOut(const char*, std::string*) { return QcNext::kReadOut; }

QcNext SignalQuality(const char*, std::string* reply) {
  const int32_t creg = modem_creg.load();
  uint8_t value = 0;  // kept in one byte: 99 (no signal known) gives 53
  if (creg == 1 || creg == 5) value = static_cast<uint8_t>(static_cast<int64_t>(modem_csq.load()) * 100 / 32);
  config::AppendFormat(reply, "!CSQ;%d\r\n", value);
  return QcNext::kContinue;
}

QcNext ShowTime(const char*, std::string*) {
  char now[40];
  getTimeStr(now, 'w');
  PrintMsg("@TIME?= %s\r\n", now);
  return QcNext::kContinue;
}

// `count` characters from `at` (counted from 0), fewer where the text ends.
void Take(const char* command, size_t length, size_t at, size_t count, std::string* out) {
  if (at < length) out->append(command + at, length - at < count ? length - at : count);
}

QcNext SetTime(const char* command, std::string* reply) {
  // "@TIME=YYYY/MM/DD HH:MM:SS": fields by position, separators not looked at.
  const size_t length = std::strlen(command);
  std::string ymd;
  std::string hms;
  Take(command, length, 6, 4, &ymd);
  Take(command, length, 11, 2, &ymd);
  Take(command, length, 14, 2, &ymd);
  Take(command, length, 17, 2, &hms);
  Take(command, length, 20, 2, &hms);
  Take(command, length, 23, 2, &hms);
  if (SetSystemTime(ymd.c_str(), hms.c_str()) != 1) {
    PrintMsg(">@TIME=: the clock was not set (YYYY/MM/DD HH:MM:SS expected)\r\n");
  }
  RTC_Read2sys();
  config::AppendFormat(reply, "%s\r\n", QcClockText().c_str());
  return QcNext::kContinue;
}

QcNext DataReport(const char*, std::string* reply) {
  QcDataReport(reply);
  return QcNext::kContinue;
}

QcNext OutputsOn(const char*, std::string*) {
  ONDO(0);
  ONDO(1);
  return QcNext::kContinue;
}

QcNext OutputsOff(const char*, std::string*) {
  OFFDO(0);
  OFFDO(1);
  return QcNext::kContinue;
}

QcNext Calibrate(QcRange range, std::string* reply) {
  QcCalibrate(range);
  const bool positive = range == QcRange::kPositive;
  // Both ranges answer under the first range's name.
  config::AppendFormat(reply, "@QCAI10;OK;%.4lf;%.4lf;1\r\n", positive ? gain : gain2, positive ? offset : offset2);
  return QcNext::kContinue;
}
QcNext CalibratePositive(const char*, std::string* reply) { return Calibrate(QcRange::kPositive, reply); }
QcNext CalibrateNegative(const char*, std::string* reply) { return Calibrate(QcRange::kNegative, reply); }

// @QCAI0, @QCAI1 and @QCAI2: the averaged reading into AIsave[which].
QcNext Average(const char* command, int which, std::string* reply) {
  int ch = 0;
  if (!ChannelAt(command, kQcaiChannelAt, &ch)) return NoChannel(command, kQcaiChannelAt, reply);
  AIsave[which] = QcAveragedReading(ch, which == 0 ? "aio_data" : "ai1_data");
  // @QCAI2 answers under @QCAI1's name.
  config::AppendFormat(reply, "@QCAI%d;OK;%.4lf;1\r\n", which == 0 ? 0 : 1, AIsave[which]);
  return QcNext::kContinue;
}
QcNext AverageHigh(const char* command, std::string* reply) { return Average(command, 0, reply); }
QcNext AverageZero(const char* command, std::string* reply) { return Average(command, 1, reply); }
QcNext AverageLow(const char* command, std::string* reply) { return Average(command, 2, reply); }

QcNext CalibratedReading(const char* command, std::string* reply) {
  int ch = 0;
  if (!ChannelAt(command, kAivChannelAt, &ch)) return NoChannel(command, kAivChannelAt, reply);
  QcCalibratedReading(ch);
  SleepMilliseconds(qc_io_settle_ms.load());
  config::AppendFormat(reply, "@AIV;OK;%.4lf\r\n", AIV_CAL);
  return QcNext::kContinue;
}

QcNext SdCheck(const char*, std::string* reply) {
  *reply = QcSdCheck() == 1 ? "@QCSD;OK\r\n" : "@QCSD;Fail\r\n";
  return QcNext::kContinue;
}

QcNext SmsLoop(const char* command, std::string* reply) {
  const int back = QcSmsLoop(QcSmsNumber(command + 9));
  config::AppendFormat(reply, "!SMSRECV;OK;%d\r\n", back);
  return QcNext::kContinue;
}

QcNext GpsFix(const char*, std::string* reply) {
  const std::string gprmc = str_gprmc.Get();
  config::AppendFormat(reply, "!GPRMC;%d;%s\r\n", QcGpsFix(gprmc), gprmc.c_str());
  return QcNext::kContinue;
}

QcNext Break(const char*, std::string*) { return QcNext::kBreak; }

struct QcCommand {
  const char* name;
  size_t compared;  // leading characters compared; 8 for "@QCAI20" takes in its end
  Handler run;
};

// The order decides: the two calibrations come before the three readings
// whose names begin theirs.
constexpr QcCommand kCommands[] = {
    {"@FWVER", 6, FirmwareVersion},
    {"@AIREADPR", 6, ReadOut},
    {"@CSQ", 4, SignalQuality},
    {"@TIME?", 6, ShowTime},
    {"@TIME=", 6, SetTime},
    {"@QCDATA", 7, DataReport},
    {"@DOON", 5, OutputsOn},
    {"@DOOFF", 6, OutputsOff},
    {"@QCAI10", 7, CalibratePositive},
    {"@QCAI20", 8, CalibrateNegative},
    {"@QCAI0", 6, AverageHigh},
    {"@QCAI1", 6, AverageZero},
    {"@QCAI2", 6, AverageLow},
    {"@AIV", 4, CalibratedReading},
    {"@QCSD", 5, SdCheck},
    {"@SMSRECV=", 9, SmsLoop},
    {"@GPRMC", 6, GpsFix},
    {"@BREAK", 6, Break},
};

}  // namespace

QcNext QcInterpret(const char* command, std::string* reply) {
  reply->clear();
  for (const QcCommand& c : kCommands) {
    if (std::strncmp(command, c.name, c.compared) == 0) return c.run(command, reply);
  }
  *reply = "N/A\r\n";
  return QcNext::kContinue;
}
