#include "qc/qc_data_report.h"

#include <cstring>

#include "base/console.h"
#include "base/sd_flags.h"
#include "config/string_format.h"
#include "config/time_utils.h"
#include "hw/rtc.h"
#include "hw/sd_card.h"
#include "modem/modem_state.h"
#include "qc/qc_loopback.h"
#include "qc/qc_sd_check.h"

namespace {

constexpr char kUnknownModel[] = "AT+GMM_Unknow";

}  // namespace

std::string QcModelText(const std::string& gmm) {
  if (gmm.compare(0, 6, "AT+GMM") != 0) return kUnknownModel;
  const size_t at = gmm.find("SIM7100C");
  if (at == std::string::npos) return kUnknownModel;
  const size_t end = gmm.find('\n', at);
  return gmm.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

int QcGpsFix(const std::string& gprmc) { return gprmc.find(",A,") != std::string::npos ? 1 : 0; }

std::string QcClockText() { return RtcTimeText(SysrtcCopy()); }

void QcDataReport(std::string* reply) {
  const std::string clock = QcClockText();
  char now[40];
  getTimeStr(now, 'w');
  PrintMsg("RTC Time= %s\r\n", clock.c_str());
  PrintMsg("RTC Time2= %s\r\n", now);

  const std::string gmm = str_gmm.Get();
  const std::string model = QcModelText(gmm);
  PrintMsg("Gmmcmp=%d, str_gmm=%s\r\n", std::strncmp(gmm.c_str(), "AT+GMM", 6), gmm.c_str());

  if_sd_card = 0;
  sd_card_init();
  QcSdCheck();  // shown on the console only; the reply carries if_sd_card

  const std::string gprmc = str_gprmc.Get();
  const int fix = QcGpsFix(gprmc);
  PrintMsg("gpscheck=%d\n", fix);

  int pass[kQcLines];
  QcLoopbackTest(pass);

  std::string line;
  config::AppendFormat(&line, "!QCDATA;QC;%d;%d;%d;%d;%d;%d;%d;%d;%d;%s;%s;%s \r\n", pass[kQcDo0], pass[kQcDo1],
                       pass[kQcDi0], pass[kQcDi1], pass[kQcDi2], pass[kQcDi3], pass[kQcDi4], fix, if_sd_card.load(),
                       model.c_str(), clock.c_str(), gprmc.c_str());
  PrintMsg("\r\n%s", line.c_str());
  *reply += line;
}
