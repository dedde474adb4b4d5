// The modem's packet-data service (QMI WDS), as the supervision of the data
// call uses it: set-up of the service clients, the packet service status,
// start network and stop network.
//
// On the board the device backend speaks QMI through libqmi on the modem's
// QMI endpoint (a cdc-wdm device, or QRTR where the modem shares the chip),
// chosen on the command line (default /dev/cdc-wdm0; "qrtr:N" for QRTR node
// N). A build without libqmi has a device backend that says packet data is
// not built in and finds no service. On the simulated board the answers
// follow DIR/sim/qmi: "up" (the network takes calls), "down" (calls fail and
// a call that was up drops), "fail" (the service does not answer).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class QmiService { kNas, kWds };

/// The outcome of one request: `rc` is the library's own result (0 = the
/// request was exchanged, else a transport failure or time-out), `error` the
/// response's QMI error code (0 = success), meaningful only when rc is 0.
struct QmiReply {
  int rc = 0;
  int error = 0;
};

/// Library results that are not QMI error codes.
constexpr int kQmiTransportError = -1;
constexpr int kQmiTimeout = -2;
constexpr int kQmiNoClient = -3;

/// QMI error codes the backends answer with.
constexpr int kQmiErrInvalidHandle = 9;
constexpr int kQmiErrCallFailed = 14;
constexpr int kQmiErrNoEffect = 26;

/// WDS packet service status: connection states.
constexpr int32_t kWdsDisconnected = 1;
constexpr int32_t kWdsConnected = 2;

struct WdsStartRequest {
  std::string apn;
  std::string user;
  std::string password;
};

/// The modem's QMI endpoint: a device path, or a QRTR node (`qrtr_node` >= 0).
struct QmiEndpoint {
  std::string path = "/dev/cdc-wdm0";
  int qrtr_node = -1;
};
/// Longest device path taken for an endpoint.
constexpr size_t kQmiPathMax = 255;

/// Reads an endpoint: an absolute device path, or "qrtr:NODE" with NODE a
/// decimal 0 to 65535. False (and `out` untouched) for anything else.
bool ParseQmiEndpoint(const std::string& text, QmiEndpoint* out);
/// The endpoint the device backend opens; set once at start-up.
void SetQmiEndpoint(const QmiEndpoint& endpoint);
QmiEndpoint ConfiguredQmiEndpoint();

class PacketData {
 public:
  virtual ~PacketData() = default;
  /// False for the backend of a build without libqmi: nothing to dial with.
  virtual bool BuiltIn() const { return true; }
  /// Opens the QMI endpoint: a handle >= 0, or a negative value.
  virtual int Init() = 0;
  /// True when the service can be reached at all (the library knows it).
  virtual bool ServiceObject(QmiService service) = 0;
  /// Takes a client of the service: 0, or the library's failure.
  virtual int ClientInit(QmiService service) = 0;
  virtual int ClientRelease(QmiService service) = 0;
  virtual QmiReply PacketServiceStatus(int timeout_ms, int32_t* connection_status) = 0;
  virtual QmiReply StartNetwork(const WdsStartRequest& request, int timeout_ms, uint32_t* packet_data_handle) = 0;
  virtual QmiReply StopNetwork(uint32_t packet_data_handle, int timeout_ms) = 0;
  /// The end of the process: releases every client still held and closes
  /// the endpoint, within a few seconds; later requests find no client.
  /// Returns 0, or the first release's failure.
  virtual int Close() { return 0; }
};

/// The backend of this board (simulated when `--sim` was given), or the one
/// a test installed.
PacketData& PacketDataBackend();
/// Installs a backend (tests); the previous one is kept alive.
void InstallPacketData(std::unique_ptr<PacketData> backend);

/// The device backend: libqmi where the build found it.
std::unique_ptr<PacketData> MakeDevicePacketData();
/// The device backend of a build without libqmi.
std::unique_ptr<PacketData> MakeAbsentPacketData();

/// The simulated service; `latency_percent` scales its answer times
/// (100 = like a module on a live network).
std::unique_ptr<PacketData> MakeSimulatedPacketData(int latency_percent = 100);

/// What the simulated service reads, under the root: the network's answer
/// (a line "up", "down" or "fail"; missing: up) and whether the simulated
/// module is registered (a line "registered" or "not registered"; missing:
/// registered). A call comes up only while the module is registered, and
/// drops when it is not.
constexpr const char* kSimQmiFile = "/sim/qmi";
constexpr const char* kSimRegistrationFile = "/sim/registration";

}  // namespace platform
