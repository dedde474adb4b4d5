// The simulated packet-data service. Each request reads DIR/sim/qmi and
// DIR/sim/registration and answers after a delay like a module's: a status
// query in tens of milliseconds, a call set-up in about a second. While the
// simulated module is not registered the network is down for calls.
#include <cstdio>
#include <mutex>
#include <string>

#include "base/sleep.h"
#include "platform/packet_data.h"
#include "platform/paths.h"

namespace platform {

namespace {

enum class Network { kUp, kDown, kFail };

// The first word of a file under the root; "" when there is none.
std::string FirstWord(const char* file) {
  FILE* f = std::fopen(Path(file).c_str(), "r");
  if (f == nullptr) return "";
  char word[16] = {0};
  const bool read = std::fscanf(f, "%15s", word) == 1;
  std::fclose(f);  // NOLINT(cert-err33-c): read only: nothing to lose
  return read ? word : "";
}

Network ReadNetwork() {
  // A missing or unreadable file is a network that takes calls, as the
  // simulator lays the file out with "up".
  const std::string w = FirstWord(kSimQmiFile);
  if (w == "fail") return Network::kFail;
  if (w == "down") return Network::kDown;
  // A module off the network carries no data call.
  if (FirstWord(kSimRegistrationFile) == "not") return Network::kDown;
  return Network::kUp;
}

class SimulatedPacketData final : public PacketData {
 public:
  explicit SimulatedPacketData(int latency_percent) : percent_(latency_percent) {}

  int Init() override {
    Delay(50);
    return ReadNetwork() == Network::kFail ? -1 : 1;
  }
  bool ServiceObject(QmiService) override { return true; }
  int ClientInit(QmiService) override {
    Delay(100);
    return ReadNetwork() == Network::kFail ? kQmiTimeout : 0;
  }
  int ClientRelease(QmiService) override { return 0; }

  QmiReply PacketServiceStatus(int, int32_t* connection_status) override {
    Delay(30);
    const Network net = ReadNetwork();
    if (net == Network::kFail) return {kQmiTimeout, 0};
    std::lock_guard<std::mutex> lock(mu_);
    if (net == Network::kDown) up_ = false;  // the network dropped the call
    *connection_status = up_ ? kWdsConnected : kWdsDisconnected;
    return {};
  }

  QmiReply StartNetwork(const WdsStartRequest&, int, uint32_t* packet_data_handle) override {
    Delay(1200);
    const Network net = ReadNetwork();
    if (net == Network::kFail) return {kQmiTimeout, 0};
    std::lock_guard<std::mutex> lock(mu_);
    if (net == Network::kDown) {
      up_ = false;
      return {0, kQmiErrCallFailed};
    }
    if (up_) return {0, kQmiErrNoEffect};
    up_ = true;
    handle_ = ++calls_;
    *packet_data_handle = handle_;
    return {};
  }

  QmiReply StopNetwork(uint32_t packet_data_handle, int) override {
    Delay(300);
    if (ReadNetwork() == Network::kFail) return {kQmiTimeout, 0};
    std::lock_guard<std::mutex> lock(mu_);
    // A call the network dropped still has its handle until it is stopped.
    if (handle_ == 0 || packet_data_handle != handle_) return {0, kQmiErrInvalidHandle};
    up_ = false;
    handle_ = 0;
    return {};
  }

 private:
  void Delay(int ms) const { SleepMilliseconds(ms * percent_ / 100); }

  const int percent_;
  std::mutex mu_;
  bool up_ = false;
  uint32_t handle_ = 0;  // of the call not yet stopped, 0 for none
  uint32_t calls_ = 0;
};

}  // namespace

std::unique_ptr<PacketData> MakeSimulatedPacketData(int latency_percent) {
  return std::make_unique<SimulatedPacketData>(latency_percent);
}

}  // namespace platform
