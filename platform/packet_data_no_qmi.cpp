// The device backend of a build without libqmi: packet data is not built
// in, so the set-up says so once and nothing is ever dialled.
#include "platform/packet_data.h"

#include <cstdio>

namespace platform {

namespace {
class NoQmi final : public PacketData {
 public:
  bool BuiltIn() const override { return false; }
  int Init() override {
    std::printf("packet data is not built in (this firmware was built without libqmi)\n");
    std::fflush(stdout);  // NOLINT(cert-err33-c): console text: nothing to do if it fails
    return -1;
  }
  bool ServiceObject(QmiService) override { return false; }
  int ClientInit(QmiService) override { return kQmiNoClient; }
  int ClientRelease(QmiService) override { return kQmiNoClient; }
  QmiReply PacketServiceStatus(int, int32_t*) override { return {kQmiNoClient, 0}; }
  QmiReply StartNetwork(const WdsStartRequest&, int, uint32_t*) override { return {kQmiNoClient, 0}; }
  QmiReply StopNetwork(uint32_t, int) override { return {kQmiNoClient, 0}; }
};
}  // namespace

std::unique_ptr<PacketData> MakeAbsentPacketData() { return std::make_unique<NoQmi>(); }

#if !QRV_HAVE_LIBQMI
std::unique_ptr<PacketData> MakeDevicePacketData() { return MakeAbsentPacketData(); }
#endif

}  // namespace platform
