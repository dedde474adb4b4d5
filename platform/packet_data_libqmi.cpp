// The device backend over libqmi. libqmi is asynchronous; each request here
// runs its operation on a main context of the backend's own and iterates it
// until the operation's callback comes, which libqmi guarantees within the
// request's time-out. One request at a time.
//
// A cdc-wdm port is opened through qmi-proxy, so that ModemManager or
// qmicli can share it, and synchronised on open, which makes the modem drop
// the client ids an earlier run left behind. Both clients are released when
// the process ends (Close). When the endpoint goes away (the modem reset, the
// proxy lost the port) the next set-up closes it and opens it again.
#include "platform/packet_data_libqmi.h"

#include <libqmi-glib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace platform {

QmiReply QmiReplyFromError(const GError* error) {
  if (error == nullptr) return {};
  if (error->domain == QMI_PROTOCOL_ERROR) return {0, error->code};
  if (error->domain == QMI_CORE_ERROR && error->code == QMI_CORE_ERROR_TIMEOUT) return {kQmiTimeout, 0};
  return {kQmiTransportError, 0};
}

namespace {

constexpr guint kSetupTimeoutS = 10;
// The end of the process waits this long for a request in flight, and each
// release this long for its answer: a stop must not hang on a dead modem.
constexpr auto kCloseWait = std::chrono::seconds(3);
constexpr guint kReleaseTimeoutS = 2;

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
  // Only at the very end of the process: nothing waits here.
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
    if (closed_.load()) return -1;
    if (open_ && !lost_) return 1;
    ContextScope scope(context_);
    CloseDevice();
    const QmiEndpoint endpoint = ConfiguredQmiEndpoint();
    GError* error = nullptr;
    const bool qrtr = endpoint.qrtr_node >= 0;
    // A device made once is opened again after a failure or a loss.
    QmiDevice* device = device_;
    if (device == nullptr) {
      device = qrtr ? NewFromNode(static_cast<guint>(endpoint.qrtr_node), &error) : NewFromFile(endpoint.path, &error);
    }
    // qmi-proxy serves device files only; a QRTR client's ids end with its
    // socket, so there is nothing to synchronise there either.
    bool open = false;
    if (device != nullptr && qrtr) {
      open = Open(device, QMI_DEVICE_OPEN_FLAGS_NONE, &error);
    } else if (device != nullptr) {
      open = Open(device, QMI_DEVICE_OPEN_FLAGS_PROXY | QMI_DEVICE_OPEN_FLAGS_SYNC, &error);
      if (!open) {
        // A board without qmi-proxy: the port is then ours alone.
        std::printf("QMI endpoint %s: no qmi-proxy (%s), opened directly\n", endpoint.path.c_str(),
                    error != nullptr ? error->message : "?");
        g_clear_error(&error);
        open = Open(device, QMI_DEVICE_OPEN_FLAGS_SYNC, &error);
      }
    }
    if (device != nullptr && device_ == nullptr) {
      device_ = device;
      g_signal_connect(device_, QMI_DEVICE_SIGNAL_REMOVED, G_CALLBACK(OnRemoved), this);
    }
    if (!open) {
      std::printf("QMI endpoint %s cannot be opened: %s\n", endpoint.path.c_str(),
                  error != nullptr ? error->message : "?");
      std::fflush(stdout);  // NOLINT(cert-err33-c): console text: nothing to do if it fails
      g_clear_error(&error);
      return -1;
    }
    open_ = true;
    lost_ = false;
    return 1;
  }

  bool ServiceObject(QmiService) override {
    std::lock_guard<std::mutex> lock(mu_);
    return open_ && !closed_.load();
  }

  int ClientInit(QmiService service) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (!open_ || closed_.load()) return kQmiNoClient;
    if (lost_) return kQmiTransportError;
    ContextScope scope(context_);
    // A client taken again gives its old id back first.
    if (Slot(service) != nullptr) ReleaseSlot(service);
    Pending pending(context_);
    qmi_device_allocate_client(device_, service == QmiService::kWds ? QMI_SERVICE_WDS : QMI_SERVICE_NAS, QMI_CID_NONE,
                               kSetupTimeoutS, nullptr, Pending::Done, &pending);
    GError* error = nullptr;
    QmiClient* client = qmi_device_allocate_client_finish(device_, pending.Wait(), &error);
    const QmiReply reply = Note(QmiReplyFromError(error));
    g_clear_error(&error);
    if (client == nullptr) return reply.rc != 0 ? reply.rc : (reply.error != 0 ? reply.error : kQmiTransportError);
    Slot(service) = client;
    return 0;
  }

  int ClientRelease(QmiService service) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (!open_ || Slot(service) == nullptr) return kQmiNoClient;
    ContextScope scope(context_);
    return ReleaseSlot(service);
  }

  QmiReply PacketServiceStatus(int timeout_ms, int32_t* connection_status) override {
    std::lock_guard<std::mutex> lock(mu_);
    QmiClient* wds = Usable();
    if (wds == nullptr) return Unusable();
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
    QmiClient* wds = Usable();
    if (wds == nullptr) return Unusable();
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
    QmiClient* wds = Usable();
    if (wds == nullptr) return Unusable();
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

  int Close() override {
    closed_ = true;  // nothing new starts from here on
    // A request still waiting for a silent modem keeps its client: the
    // synchronisation of the next open frees its id.
    std::unique_lock<std::mutex> lock(mu_, std::defer_lock);
    for (const auto until = std::chrono::steady_clock::now() + kCloseWait; !lock.try_lock();) {
      if (std::chrono::steady_clock::now() >= until) return kQmiTimeout;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ContextScope scope(context_);
    int first = 0;
    for (QmiService service : {QmiService::kWds, QmiService::kNas}) {
      if (Slot(service) == nullptr) continue;
      const int rc = ReleaseSlot(service);
      if (first == 0) first = rc;
    }
    CloseDevice();
    return first;
  }

 private:
  QmiClient*& Slot(QmiService service) { return clients_[service == QmiService::kWds ? 1 : 0]; }

  // The WDS client when a request can go out on it (under mu_).
  QmiClient* Usable() { return closed_.load() || lost_ ? nullptr : Slot(QmiService::kWds); }
  QmiReply Unusable() const { return {lost_ && !closed_.load() ? kQmiTransportError : kQmiNoClient, 0}; }

  // A transport failure means the endpoint is gone (under mu_).
  QmiReply Note(const QmiReply& reply) {
    if (reply.rc == kQmiTransportError) lost_ = true;
    return reply;
  }

  template <typename Output>
  QmiReply Finish(Output* out, void (*unref)(Output*), GError** error) {
    const QmiReply reply = Note(QmiReplyFromError(*error));
    g_clear_error(error);
    if (out != nullptr) unref(out);
    return reply;
  }

  // Gives the client's id back to the modem (a lost endpoint has forgotten
  // it already, so there it is only dropped here) and drops the client,
  // whatever the answer (under mu_, in the backend's context).
  int ReleaseSlot(QmiService service) {
    QmiClient*& slot = Slot(service);
    Pending pending(context_);
    qmi_device_release_client(device_, slot,
                              lost_ ? QMI_DEVICE_RELEASE_CLIENT_FLAGS_NONE : QMI_DEVICE_RELEASE_CLIENT_FLAGS_RELEASE_CID,
                              kReleaseTimeoutS, nullptr, Pending::Done, &pending);
    GError* error = nullptr;
    qmi_device_release_client_finish(device_, pending.Wait(), &error);
    const QmiReply reply = Note(QmiReplyFromError(error));
    g_clear_error(&error);
    g_object_unref(slot);
    slot = nullptr;
    return reply.rc != 0 ? reply.rc : reply.error;
  }

  // Closes the endpoint and drops its clients; the device is kept for the
  // next open (under mu_, in the backend's context).
  void CloseDevice() {
    if (!open_) return;
    for (QmiService service : {QmiService::kWds, QmiService::kNas}) {
      if (Slot(service) != nullptr) ReleaseSlot(service);
    }
    Pending close(context_);
    qmi_device_close_async(device_, 1, nullptr, Pending::Done, &close);
    qmi_device_close_finish(device_, close.Wait(), nullptr);
    open_ = false;
  }

  bool Open(QmiDevice* device, int flags, GError** error) {
    Pending open(context_);
    qmi_device_open(device, static_cast<QmiDeviceOpenFlags>(flags), kSetupTimeoutS, nullptr, Pending::Done, &open);
    return qmi_device_open_finish(device, open.Wait(), error);
  }

  static void OnRemoved(QmiDevice*, gpointer self) { static_cast<LibQmiPacketData*>(self)->lost_ = true; }

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
    // One bus for the backend's life: a set-up tried again reuses it.
    if (bus_ == nullptr) {
      Pending bus_pending(context_);
      qrtr_bus_new(1000, nullptr, Pending::Done, &bus_pending);
      bus_ = qrtr_bus_new_finish(bus_pending.Wait(), error);
      if (bus_ == nullptr) return nullptr;
    }
    QrtrBus* bus = static_cast<QrtrBus*>(bus_);
    Pending node_pending(context_);
    qrtr_bus_wait_for_node(bus, node_id, kSetupTimeoutS * 1000, nullptr, Pending::Done, &node_pending);
    QrtrNode* node = qrtr_bus_wait_for_node_finish(bus, node_pending.Wait(), error);
    if (node == nullptr) return nullptr;
    Pending device_pending(context_);
    qmi_device_new_from_node(node, nullptr, Pending::Done, &device_pending);
    QmiDevice* device = qmi_device_new_from_node_finish(device_pending.Wait(), error);
    g_object_unref(node);
    return device;
#else
    (void)node_id;
    g_set_error(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED, "this libqmi has no QRTR support");
    return nullptr;
#endif
  }

  std::mutex mu_;
  std::atomic<bool> closed_{false};
  GMainContext* context_;
  // The rest under mu_.
  QmiDevice* device_ = nullptr;  // made by the first Init that finds the endpoint
  bool open_ = false;
  bool lost_ = false;  // the endpoint went away: the next Init opens it again
  QmiClient* clients_[2] = {nullptr, nullptr};  // NAS, WDS
  gpointer bus_ = nullptr;                       // QRTR only
};

}  // namespace

std::unique_ptr<PacketData> MakeDevicePacketData() { return std::make_unique<LibQmiPacketData>(); }

}  // namespace platform
