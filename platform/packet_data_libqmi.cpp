// The device backend over libqmi. libqmi is asynchronous; each request here
// runs its operation on a main context of the backend's own and iterates it
// until the operation's callback comes, which libqmi guarantees within the
// request's time-out. One request at a time.
#include "platform/packet_data_libqmi.h"

#include <libqmi-glib.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {

QmiReply QmiReplyFromError(const GError* error) {
  if (error == nullptr) return {};
  if (error->domain == QMI_PROTOCOL_ERROR) return {0, error->code};
  if (error->domain == QMI_CORE_ERROR && error->code == QMI_CORE_ERROR_TIMEOUT) return {kQmiTimeout, 0};
  return {kQmiTransportError, 0};
}

std::string QmiEndpoint(const char* setting, int* qrtr_node) {
  *qrtr_node = -1;
  const std::string s = setting == nullptr ? "" : setting;
  if (s.empty()) return "/dev/cdc-wdm0";
  if (s.compare(0, 5, "qrtr:") == 0) {
    char* end = nullptr;
    const long node = std::strtol(s.c_str() + 5, &end, 10);
    if (end != s.c_str() + 5 && *end == '\0' && node >= 0 && node <= 0xFFFF) *qrtr_node = static_cast<int>(node);
  }
  return s;
}

namespace {

constexpr guint kSetupTimeoutS = 10;

guint Seconds(int timeout_ms) { return static_cast<guint>((timeout_ms + 999) / 1000); }

// Waits on the backend's context for one asynchronous operation.
class Pending {
 public:
  explicit Pending(GMainContext* context) : context_(context) {}
  ~Pending() {
    if (result_ != nullptr) g_object_unref(result_);
  }
  Pending(const Pending&) = delete;
  Pending& operator=(const Pending&) = delete;

  static void Done(GObject*, GAsyncResult* result, gpointer self) {
    static_cast<Pending*>(self)->result_ = G_ASYNC_RESULT(g_object_ref(result));
  }
  GAsyncResult* Wait() {
    while (result_ == nullptr) g_main_context_iteration(context_, TRUE);
    return result_;
  }

 private:
  GMainContext* context_;
  GAsyncResult* result_ = nullptr;
};

// The backend's context is the thread-default one while a request runs, so
// that libqmi's sources attach to it whichever thread asks.
class ContextScope {
 public:
  explicit ContextScope(GMainContext* context) : context_(context) { g_main_context_push_thread_default(context_); }
  ~ContextScope() { g_main_context_pop_thread_default(context_); }
  ContextScope(const ContextScope&) = delete;
  ContextScope& operator=(const ContextScope&) = delete;

 private:
  GMainContext* context_;
};

class LibQmiPacketData final : public PacketData {
 public:
  LibQmiPacketData() : context_(g_main_context_new()) {}
  ~LibQmiPacketData() override {
    for (QmiClient*& c : clients_) {
      if (c != nullptr) g_object_unref(c);
    }
    if (device_ != nullptr) g_object_unref(device_);
    if (bus_ != nullptr) g_object_unref(bus_);
    g_main_context_unref(context_);
  }

  int Init() override {
    std::lock_guard<std::mutex> lock(mu_);
    ContextScope scope(context_);
    if (device_ != nullptr) return 1;
    int node = -1;
    const std::string endpoint = QmiEndpoint(std::getenv("QRV806_QMI_DEVICE"), &node);
    GError* error = nullptr;
    QmiDevice* device = node >= 0 ? NewFromNode(static_cast<guint>(node), &error) : NewFromFile(endpoint, &error);
    if (device != nullptr) {
      Pending open(context_);
      qmi_device_open(device, QMI_DEVICE_OPEN_FLAGS_NONE, kSetupTimeoutS, nullptr, Pending::Done, &open);
      if (!qmi_device_open_finish(device, open.Wait(), &error)) {
        g_object_unref(device);
        device = nullptr;
      }
    }
    if (device == nullptr) {
      std::printf("QMI endpoint %s cannot be opened: %s\n", endpoint.c_str(), error != nullptr ? error->message : "?");
      std::fflush(stdout);
      g_clear_error(&error);
      return -1;
    }
    device_ = device;
    return 1;
  }

  bool ServiceObject(QmiService) override {
    std::lock_guard<std::mutex> lock(mu_);
    return device_ != nullptr;
  }

  int ClientInit(QmiService service) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (device_ == nullptr) return kQmiNoClient;
    ContextScope scope(context_);
    Pending pending(context_);
    qmi_device_allocate_client(device_, service == QmiService::kWds ? QMI_SERVICE_WDS : QMI_SERVICE_NAS, QMI_CID_NONE,
                               kSetupTimeoutS, nullptr, Pending::Done, &pending);
    GError* error = nullptr;
    QmiClient* client = qmi_device_allocate_client_finish(device_, pending.Wait(), &error);
    const QmiReply reply = QmiReplyFromError(error);
    g_clear_error(&error);
    if (client == nullptr) return reply.rc != 0 ? reply.rc : (reply.error != 0 ? reply.error : kQmiTransportError);
    QmiClient*& slot = Slot(service);
    if (slot != nullptr) g_object_unref(slot);
    slot = client;
    return 0;
  }

  int ClientRelease(QmiService service) override {
    std::lock_guard<std::mutex> lock(mu_);
    QmiClient*& slot = Slot(service);
    if (device_ == nullptr || slot == nullptr) return kQmiNoClient;
    ContextScope scope(context_);
    Pending pending(context_);
    qmi_device_release_client(device_, slot, QMI_DEVICE_RELEASE_CLIENT_FLAGS_RELEASE_CID, kSetupTimeoutS, nullptr,
                              Pending::Done, &pending);
    GError* error = nullptr;
    qmi_device_release_client_finish(device_, pending.Wait(), &error);
    // Released even when the release reports an error.
    g_object_unref(slot);
    slot = nullptr;
    const QmiReply reply = QmiReplyFromError(error);
    g_clear_error(&error);
    return reply.rc != 0 ? reply.rc : reply.error;
  }

  QmiReply PacketServiceStatus(int timeout_ms, int32_t* connection_status) override {
    std::lock_guard<std::mutex> lock(mu_);
    QmiClient* wds = Slot(QmiService::kWds);
    if (wds == nullptr) return {kQmiNoClient, 0};
    ContextScope scope(context_);
    Pending pending(context_);
    qmi_client_wds_get_packet_service_status(QMI_CLIENT_WDS(wds), nullptr, Seconds(timeout_ms), nullptr,
                                             Pending::Done, &pending);
    GError* error = nullptr;
    QmiMessageWdsGetPacketServiceStatusOutput* out =
        qmi_client_wds_get_packet_service_status_finish(QMI_CLIENT_WDS(wds), pending.Wait(), &error);
    QmiWdsConnectionStatus status = QMI_WDS_CONNECTION_STATUS_UNKNOWN;
    if (out != nullptr && qmi_message_wds_get_packet_service_status_output_get_result(out, &error)) {
      qmi_message_wds_get_packet_service_status_output_get_connection_status(out, &status, nullptr);
      *connection_status = static_cast<int32_t>(status);
    }
    return Finish(out, qmi_message_wds_get_packet_service_status_output_unref, &error);
  }

  QmiReply StartNetwork(const WdsStartRequest& request, int timeout_ms, uint32_t* packet_data_handle) override {
    std::lock_guard<std::mutex> lock(mu_);
    QmiClient* wds = Slot(QmiService::kWds);
    if (wds == nullptr) return {kQmiNoClient, 0};
    ContextScope scope(context_);
    QmiMessageWdsStartNetworkInput* in = qmi_message_wds_start_network_input_new();
    qmi_message_wds_start_network_input_set_apn(in, request.apn.c_str(), nullptr);
    qmi_message_wds_start_network_input_set_username(in, request.user.c_str(), nullptr);
    qmi_message_wds_start_network_input_set_password(in, request.password.c_str(), nullptr);
    Pending pending(context_);
    qmi_client_wds_start_network(QMI_CLIENT_WDS(wds), in, Seconds(timeout_ms), nullptr, Pending::Done, &pending);
    GError* error = nullptr;
    QmiMessageWdsStartNetworkOutput* out =
        qmi_client_wds_start_network_finish(QMI_CLIENT_WDS(wds), pending.Wait(), &error);
    qmi_message_wds_start_network_input_unref(in);
    if (out != nullptr && qmi_message_wds_start_network_output_get_result(out, &error)) {
      guint32 handle = 0;
      qmi_message_wds_start_network_output_get_packet_data_handle(out, &handle, nullptr);
      *packet_data_handle = handle;
    }
    return Finish(out, qmi_message_wds_start_network_output_unref, &error);
  }

  QmiReply StopNetwork(uint32_t packet_data_handle, int timeout_ms) override {
    std::lock_guard<std::mutex> lock(mu_);
    QmiClient* wds = Slot(QmiService::kWds);
    if (wds == nullptr) return {kQmiNoClient, 0};
    ContextScope scope(context_);
    QmiMessageWdsStopNetworkInput* in = qmi_message_wds_stop_network_input_new();
    qmi_message_wds_stop_network_input_set_packet_data_handle(in, packet_data_handle, nullptr);
    Pending pending(context_);
    qmi_client_wds_stop_network(QMI_CLIENT_WDS(wds), in, Seconds(timeout_ms), nullptr, Pending::Done, &pending);
    GError* error = nullptr;
    QmiMessageWdsStopNetworkOutput* out =
        qmi_client_wds_stop_network_finish(QMI_CLIENT_WDS(wds), pending.Wait(), &error);
    qmi_message_wds_stop_network_input_unref(in);
    if (out != nullptr) qmi_message_wds_stop_network_output_get_result(out, &error);
    return Finish(out, qmi_message_wds_stop_network_output_unref, &error);
  }

 private:
  QmiClient*& Slot(QmiService service) { return clients_[service == QmiService::kWds ? 1 : 0]; }

  template <typename Output>
  static QmiReply Finish(Output* out, void (*unref)(Output*), GError** error) {
    const QmiReply reply = QmiReplyFromError(*error);
    g_clear_error(error);
    if (out != nullptr) unref(out);
    return reply;
  }

  QmiDevice* NewFromFile(const std::string& path, GError** error) {
    GFile* file = g_file_new_for_path(path.c_str());
    Pending pending(context_);
    qmi_device_new(file, nullptr, Pending::Done, &pending);
    QmiDevice* device = qmi_device_new_finish(pending.Wait(), error);
    g_object_unref(file);
    return device;
  }

  QmiDevice* NewFromNode(guint node_id, GError** error) {
#if QMI_QRTR_SUPPORTED
    Pending bus_pending(context_);
    qrtr_bus_new(1000, nullptr, Pending::Done, &bus_pending);
    QrtrBus* bus = qrtr_bus_new_finish(bus_pending.Wait(), error);
    if (bus == nullptr) return nullptr;
    Pending node_pending(context_);
    qrtr_bus_wait_for_node(bus, node_id, kSetupTimeoutS * 1000, nullptr, Pending::Done, &node_pending);
    QrtrNode* node = qrtr_bus_wait_for_node_finish(bus, node_pending.Wait(), error);
    QmiDevice* device = nullptr;
    if (node != nullptr) {
      Pending device_pending(context_);
      qmi_device_new_from_node(node, nullptr, Pending::Done, &device_pending);
      device = qmi_device_new_from_node_finish(device_pending.Wait(), error);
      g_object_unref(node);
    }
    // The node's bus stays with the device for the backend's life.
    bus_ = bus;
    return device;
#else
    (void)node_id;
    g_set_error(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED, "this libqmi has no QRTR support");
    return nullptr;
#endif
  }

  std::mutex mu_;
  GMainContext* context_;
  QmiDevice* device_ = nullptr;
  QmiClient* clients_[2] = {nullptr, nullptr};  // NAS, WDS
  gpointer bus_ = nullptr;                       // QRTR only
};

}  // namespace

std::unique_ptr<PacketData> MakeDevicePacketData() { return std::make_unique<LibQmiPacketData>(); }

}  // namespace platform
