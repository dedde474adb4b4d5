#include "modem/packet_data_call.h"

#include "base/console.h"
#include "base/sleep.h"
#include "base/thread_start.h"
#include "modem/modem_state.h"
#include "modem/qmi_wds.h"

std::atomic<int32_t> is_net{1};
std::atomic<int> net_dial_settle_ms{3000};
std::atomic<int> net_status_poll_ms{100};
std::atomic<int> net_pass_pause_ms{1000};

namespace {

constexpr int kConnected = 2;
constexpr int kDisconnected = 1;
constexpr int kStatusChecks = 50;
// A status query can go unanswered while the call is fine (a busy module);
// only this many failures in a row count as a dropped call.
constexpr int kFailedQueriesBeforeRedial = 3;
// A service that was not there at start-up (a modem still booting) is
// looked for again this many passes apart.
constexpr int kSetupRetryPasses = 30;

int g_passes_without_client = 0;  // thread_net only
int g_failed_queries = 0;         // thread_net only: in a row, of a call kept up

void TakeClientsAgainWhenDue() {
  if (QmiWdsClientHeld()) {
    g_passes_without_client = 0;
    return;
  }
  if (g_passes_without_client++ % kSetupRetryPasses != 0) return;
  // The start-up's set-up again: it opens the endpoint again when it went
  // away (an open one is kept) and takes both clients.
  QMI_Init();
  QMI_nas_getObj();
  QMI_wds_getObj();
}

}  // namespace

int dialup_actions2() {
  if (QMI_wds_CheckDialupStatus() == kConnected) return 0;
  const int result = QMI_wds_dialup(modem_APN, modem_usr, modem_pwd);
  QmiPrint("Dialup result=%d\r\n", result);
  SleepMilliseconds(net_dial_settle_ms.load());
  for (int i = 0; i < kStatusChecks; ++i) {
    SleepMilliseconds(net_status_poll_ms.load());
    const int status = QMI_wds_CheckDialupStatus();
    if (status == kConnected) {
      QmiPrint("dialup ready\n");
      return 0;
    }
    QmiPrint("[%d:%d]", i, status);
  }
  return -1;
}

int hangup_actions() {
  QmiPrint("QMI_wds_hangup() : %d\n", QMI_wds_hangup());
  return 1;
}

bool NetSupervisionPass() {
  if (!QmiPacketDataBuiltIn()) return false;
  TakeClientsAgainWhenDue();
  if (is_net.load() == 1) {
    const int result = dialup_actions2();
    net_status = result;
    if (result == 0) is_net = 0;
    g_failed_queries = 0;
    return true;
  }
  // A call that is up is kept; only one that has dropped (or that has not
  // answered three times in a row) is stopped, and the next pass dials again.
  const int status = QMI_wds_CheckDialupStatus();  // 0: no answer
  g_failed_queries = status == 0 ? g_failed_queries + 1 : 0;
  if (status != kDisconnected && g_failed_queries < kFailedQueriesBeforeRedial) {
    net_status = 0;
    return true;
  }
  g_failed_queries = 0;
  hangup_actions();
  net_status = -1;
  is_net = 1;
  return true;
}

void* thread_net(void*) {
  NameThisThread("net");
  PrintMsg("[thread_net is start]\r\n");
  // Without packet data in this build there is nothing to supervise.
  while (NetSupervisionPass()) SleepMilliseconds(net_pass_pause_ms.load());
  return nullptr;
}
