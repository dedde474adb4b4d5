#include "modem/modem_state.h"

SignalledWord modem_cpin_status{0, StatusChangeSignal};
SignalledWord modem_creg{0, StatusChangeSignal};
std::atomic<int32_t> modem_csq{0};
SignalledWord net_status{-1, StatusChangeSignal};
SignalledWord gps_flag{0, StatusChangeSignal};
std::atomic<int32_t> send_sms_status{0};

GuardedText<100> str_gmm;
GuardedText<200> str_gprmc;

char modem_APN[64];
char modem_usr[32];
char modem_pwd[32];
char modem_imei[16];

void ReadModemLogInfo(int32_t* creg, int32_t* csq) {
  *creg = modem_creg.load();
  *csq = modem_csq.load();
}
