// The device backend of a build without libqmi: the service is never found,
// so the set-up says so once and the data call stays down.
#include "platform/packet_data.h"

namespace platform {

namespace {
class NoQmi final : public PacketData {
 public:
  int Init() override { return -1; }
  bool ServiceObject(QmiService) override { return false; }
  int ClientInit(QmiService) override { return kQmiNoClient; }
  int ClientRelease(QmiService) override { return kQmiNoClient; }
  QmiReply PacketServiceStatus(int, int32_t*) override { return {kQmiNoClient, 0}; }
  QmiReply StartNetwork(const WdsStartRequest&, int, uint32_t*) override { return {kQmiNoClient, 0}; }
  QmiReply StopNetwork(uint32_t, int) override { return {kQmiNoClient, 0}; }
};
}  // namespace

std::unique_ptr<PacketData> MakeDevicePacketData() { return std::make_unique<NoQmi>(); }

}  // namespace platform
