#include "app/startup.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "app/launch_options.h"
#include "app/led.h"
#include "app/operating_mode.h"
#include "app/legacy_config.h"
#include "app/sd_update.h"
#include "app/status_loop.h"
#include "app/stop_signal.h"
#include "app/thread_launch.h"
#include "base/console.h"
#include "base/version.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/side_files.h"
#include "config/time_utils.h"
#include "event/auto_report.h"
#include "event/check_number.h"
#include "hw/analog_input.h"
#include "hw/gpio.h"
#include "hw/rtc.h"
#include "log/log_store.h"
#include "modem/modem_state.h"
#include "modem/qmi_wds.h"
#include "modem/wav_prompts.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/packet_data.h"
#include "platform/paths.h"
#include "platform/system_actions.h"

namespace {

// Seconds the update pattern shows before the board restarts.
constexpr unsigned kUpdateRebootDelayS = 10;

void PrintRtc(const char* label, const RtcTime& t) {
  PrintMsg("%s%s [%d]\r\n", label, RtcTimeText(t).c_str(), t.wday);
}

void SelectBoard(const LaunchOptions& opt) {
  platform::SetRoot(opt.root);
  platform::SetSimulated(opt.simulated);
  platform::SetQmiEndpoint(opt.qmi_device);
  if (opt.simulated) {
    platform::InstallClock(std::make_unique<platform::SimulatedClock>(platform::Path("/sim/clock")));
  }
}

// The date and time arguments: set the system clock, then copy it into the
// RTC. The board did this with `date -s`; its exit status is reported the
// way the shell returned it.
void SetClocksFromArguments(const std::string& date, const std::string& time) {
  char cmd[256];
  std::snprintf(cmd, sizeof cmd, "date -s \"%s %s\"", date.c_str(), time.c_str());
  PrintMsg("cmd: %s\r\n", cmd);
  struct tm wanted {};
  int result = 256;  // `date` exits with 1 on a time it cannot read
  if (ParseDateTimeArgs(date, time, &wanted)) {
    time_t t = mktime(&wanted);
    timeval tv{t, 0};
    if (t != static_cast<time_t>(-1) && platform::SystemClock().Set(tv) == 0) result = 0;
  }
  PrintMsg("had set system time: %d\r\n", result);
  tm2rtc(nullptr, &Sysrtc);
  PrintRtc("before RTC Time= ", Sysrtc);
  RTC_Write(Sysrtc.sec, Sysrtc.min, Sysrtc.hour, Sysrtc.mday, Sysrtc.mon, Sysrtc.year, Sysrtc.wday);
  RTC_Read(&Sysrtc);
  PrintRtc("RTC Time= ", Sysrtc);
}

// A power cut during a save leaves the old file whole and the new one's
// temporary copy beside it; nothing else would ever remove those. The
// simulated board's clock files are saved the same way.
void RemoveLeftoversOfInterruptedSaves(bool simulated) {
  int removed = platform::RemoveLeftoverTemporaryFiles(platform::Path("/APP"));
  if (simulated) removed += platform::RemoveLeftoverTemporaryFiles(platform::Path("/sim"));
  if (removed > 0) PrintMsg(">Removed %d leftover temporary file(s) of an interrupted save\r\n", removed);
}

[[noreturn]] void RunUpdateMode() {
  PrintMsg(">FW Update, only do LED.\r\n");
  StartUpdateModeThreads();
  int32_t pattern = if_fw_update_error.load() == 1 ? 6 : 5;
  sta_led_step = pattern;
  gps_flag = pattern;
  sleep(kUpdateRebootDelayS);  // NOLINT(concurrency-mt-unsafe): unsafe only beside a SIGCHLD handler, which this process has none of
  platform::Reboot();
  for (;;) pause();
}

// The factory file replaces a configuration the reader refused; the refused
// one is kept beside it, so one bad line never loses a site's settings.
// After -resetconfig the refused file is the legacy one that option has
// just written: no site's settings, and an earlier refused copy is worth
// more than it.
void KeepRefusedConfig() {
  const std::string config = platform::Path("/APP/config.ini");
  if (access(config.c_str(), F_OK) != 0) return;
  if (std::rename(config.c_str(), platform::Path("/APP/config.ini.refused").c_str()) == 0) {
    PrintMsg(">The refused config.ini is kept as /APP/config.ini.refused\r\n");
  }
}

void LoadConfiguration(bool reset_requested) {
  read_gain_offset();
  init_orvel_config();
  if (read_orvel_config() == 1) {
    PrintMsg(">Initial parameters success.\r\n");
  } else {
    set_default();
    PrintMsg(">Initial parameters failed, set default value.\r\n");
    if (!reset_requested) KeepRefusedConfig();
    save_orvel_config();
  }
  if (read_counter_status() == 0) {
    PrintMsg(">Initial counter status failed, set default value\r\n");
    save_counter_status();
  }
  // 13: the report schedule and the voice prompts.
  auto_report_set();
  link_wav_to_var();
  check_wav_exist_format();
}

}  // namespace

int RunFirmware(int argc, char** argv) {
  LaunchOptions opt = ParseLaunchOptions(argc, argv);
  if (!opt.error.empty()) {
    std::fprintf(stderr,
                 "qrv806: %s\nusage: qrv806 [--root DIR] [--sim] [--qmi-device PATH|qrtr:NODE] "
                 "[DATE TIME | -resetconfig]\n",
                 opt.error.c_str());
    return 2;
  }
  SelectBoard(opt);
  // Before any other thread exists: a stop gives the QMI clients back first.
  WatchStopSignals();

  // 1, 2: console on, update flags clear, banner.
  cDebugMode = 1;
  if_sd_card = 0;
  if_fw_exist = 0;
  if_fw_update = 0;
  if_fw_update_error = 0;
  PrintMsg("-- %s --\r\n", kFirmwareVersion);
  RemoveLeftoversOfInterruptedSaves(opt.simulated);

  // 3: logs.
  LogInit();
  LogSetModemInfoSource(ReadModemLogInfo);
  ReadLogConfig();

  // 4: lines, bus, converter.
  InitGPIO();
  InitI2C();
  InitADC();
  ReadADCRegister();

  // 5: system clock from the RTC.
  RTC_Read2sys();
  RTC_Read(&Sysrtc);
  PrintRtc("RTC main Time= ", Sysrtc);

  // 6: SD card and updates.
  sd_card_init();
  check_if_config_update();
  if (if_fw_exist.load() == 1) check_if_fw_update();

  // 7, 8: the device's own arguments.
  const bool reset_requested = opt.args.size() == 2 && opt.args[1] == "-resetconfig";
  if (opt.args.size() == 3) {
    SetClocksFromArguments(opt.args[1], opt.args[2]);
  } else if (reset_requested) {
    PrintMsg("reset config, and save it.\r\n");
    init_qel_config();
    save_qel_config();
  }

  // 9: the QMI clients, then the check-number table.
  QMI_Init();
  QMI_nas_getObj();
  QMI_wds_getObj();
  sms_crc_init();

  // 10: a new program was put in place: show it and restart.
  if (if_fw_update.load() == 1) RunUpdateMode();

  // 11, 12: settings, calibration and counters.
  LoadConfiguration(reset_requested);

  // 14, 15: the serial port's role and the operating mode.
  if (ChooseOperatingMode(sys_config.cIsUart2SMS, PIN_INIT_V()) == OperatingMode::kUtility) {
    StartUtilityModeThreads();
  } else {
    StartNormalModeThreads();
  }

  // 16.
  RunStatusLoop(GetTimeTicks());
}
