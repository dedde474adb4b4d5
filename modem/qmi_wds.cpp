#include "modem/qmi_wds.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/string_format.h"
#include "log/log_store.h"
#include "modem/modem_state.h"
#include "platform/packet_data.h"

std::atomic<int32_t> qmi_hdl{-1};
std::atomic<int32_t> nas_rc{0};
std::atomic<int32_t> wds_rc{0};

namespace {

constexpr int kStatusTimeoutMs = 15000;
constexpr int kStartTimeoutMs = 30000;
constexpr int kStopTimeoutMs = 15000;

std::atomic<bool> g_wds_held{false};
// The packet data handle of the last accepted start (the start response's
// member the stop request is filled from).
std::atomic<uint32_t> g_start_handle{0};

void LogNumber(const char* api, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  QmiLog(api, text);
}

struct ServiceNames {
  platform::QmiService service;
  const char* object_failed;
  const char* object_log;  // nullptr: no record for the object
  const char* init_log;
  const char* rc_name;
  const char* release_log;
};

int TakeClient(const ServiceNames& n, std::atomic<int32_t>* rc) {
  platform::PacketData& qmi = platform::PacketDataBackend();
  if (!qmi.BuiltIn()) return -1;  // QMI_Init has said so
  if (!qmi.ServiceObject(n.service)) {
    QmiPrint("%s\n", n.object_failed);
    return -1;
  }
  if (n.object_log != nullptr) QmiLog(n.object_log, "Not NULL");
  *rc = qmi.ClientInit(n.service);
  LogNumber(n.init_log, rc->load());
  if (rc->load() != 0) {
    QmiPrint("main(): qmi_client_init() failed. %s=%d.\n", n.rc_name, rc->load());
    LogNumber(n.release_log, qmi.ClientRelease(n.service));
    return -1;
  }
  return 0;
}

// A request to a client that was never taken (or released) fails in the
// library without reaching the modem.
platform::QmiReply NoClient() { return {platform::kQmiNoClient, 0}; }

// Prints why a request failed (`rc_name` names the library result); true
// when it succeeded. A transport failure means the endpoint went away (a
// modem reset): the client is gone, and the next set-up opens it again.
bool Succeeded(const platform::QmiReply& reply, const char* rc_name) {
  if (reply.rc == platform::kQmiTransportError) g_wds_held = false;
  if (reply.rc != 0) {
    QmiPrint("main(): qmi_client_send_msg_sync() failed. %s=%d.\n", rc_name, reply.rc);
    return false;
  }
  if (reply.error != 0) {
    QmiPrint("main(): Error value=%d.\n", reply.error);
    return false;
  }
  return true;
}

}  // namespace

void QmiPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);  // NOLINT(cert-err33-c): console text: nothing to do if it fails
}

int QMI_Init() {
  qmi_hdl = platform::PacketDataBackend().Init();
  LogNumber("qmi_init", qmi_hdl.load());
  return qmi_hdl.load();
}

int QMI_nas_getObj() {
  static const ServiceNames kNas{platform::QmiService::kNas, "main(): nas_get_service_object_v01() failed.",
                                 "QMI_nas_getObj <nas_get_service_object_v01>", "QMI_nas_getObj <qmi_client_init>",
                                 "nas_rc",
                                 "QMI_nas_getObj <qmi_client_release>"};
  return TakeClient(kNas, &nas_rc);
}

int QMI_wds_getObj() {
  static const ServiceNames kWds{platform::QmiService::kWds, "main(): wds_get_service_object_v01() failed.", nullptr,
                                 "QMI_wds_getObj <qmi_client_init>",
                                 "wds_rc",
                                 "QMI_wds_getObj <qmi_client_release>"};
  const int result = TakeClient(kWds, &wds_rc);
  g_wds_held = result == 0;
  return result;
}

bool QmiWdsClientHeld() { return g_wds_held.load(); }

bool QmiPacketDataBuiltIn() { return platform::PacketDataBackend().BuiltIn(); }

int QmiReleaseClients() {
  g_wds_held = false;
  const int result = platform::PacketDataBackend().Close();
  LogNumber("QMI_Release <qmi_client_release>", result);
  QmiPrint("QMI clients released: %d\n", result);
  return result;
}

int QMI_wds_CheckDialupStatus() {
  int32_t status = 0;
  const platform::QmiReply reply = g_wds_held.load()
                                       ? platform::PacketDataBackend().PacketServiceStatus(kStatusTimeoutMs, &status)
                                       : NoClient();
  LogNumber("QMI_wds_CheckDialupStatus <qmi_client_send_msg_sync>", reply.rc);
  if (!Succeeded(reply, "rc")) {
    if (reply.rc == 0) LogNumber("=> resp.error", reply.error);
    return 0;
  }
  LogNumber("=> connection_status", status);
  return status;
}

int QMI_wds_dialup(const char* apn, const char* user, const char* password) {
  QmiPrint("main(): (QMI_WDS_START_NETWORK_INTERFACE_REQ_V01) Start.\n");
  // Only the three texts go into the request; every other member is absent.
  const platform::WdsStartRequest request{config::Bounded(apn, sizeof modem_APN - 1),
                                          config::Bounded(user, sizeof modem_usr - 1),
                                          config::Bounded(password, sizeof modem_pwd - 1)};
  QmiPrint("APN: %s\n", request.apn.c_str());
  QmiPrint("Username: %s\n", request.user.c_str());
  QmiPrint("Password: %s\n", request.password.c_str());
  uint32_t handle = 0;
  const platform::QmiReply reply =
      g_wds_held.load() ? platform::PacketDataBackend().StartNetwork(request, kStartTimeoutMs, &handle) : NoClient();
  wds_rc = reply.rc;
  if (!Succeeded(reply, "wds_rc")) return 0;
  g_start_handle = handle;
  return 1;
}

int QMI_wds_hangup() {
  const platform::QmiReply reply = g_wds_held.load()
                                       ? platform::PacketDataBackend().StopNetwork(g_start_handle.load(), kStopTimeoutMs)
                                       : NoClient();
  wds_rc = reply.rc;
  if (!Succeeded(reply, "wds_rc")) return 0;
  QmiPrint("main(): QMI_WDS_STOP_NETWORK_INTERFACE_REQ_V01) Success.\n");
  return 1;
}
