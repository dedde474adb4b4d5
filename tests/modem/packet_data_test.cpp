// The packet-data call: the supervision rhythm against the simulated
// service, the failure paths of each WDS request, the set-up, and what the
// libqmi backend makes of libqmi's answers.
#include <gtest/gtest.h>

#include <filesystem>

#include "log/log_store.h"
#include "modem/modem_state.h"
#include "modem/modem_test_env.h"
#include "modem/packet_data_call.h"
#include "modem/qmi_wds.h"
#include "platform/packet_data.h"
#include "platform/paths.h"
#include "support/console_capture.h"
#if QRV_HAVE_LIBQMI
#include <libqmi-glib.h>

#include "modem/qmux_fake_endpoint.h"
#include "platform/packet_data_libqmi.h"
#endif

namespace {

using platform::QmiReply;

// A service whose answers the test sets.
struct ScriptedQmi final : platform::PacketData {
  bool object = true;
  int client = 0;
  QmiReply status_reply;
  int32_t status = 2;
  int stops = 0;
  int Init() override { return 7; }
  bool ServiceObject(platform::QmiService) override { return object; }
  int ClientInit(platform::QmiService) override { return client; }
  int ClientRelease(platform::QmiService) override { return 0; }
  QmiReply PacketServiceStatus(int, int32_t* s) override {
    *s = status;
    return status_reply;
  }
  QmiReply StartNetwork(const platform::WdsStartRequest&, int, uint32_t*) override { return {}; }
  QmiReply StopNetwork(uint32_t, int) override {
    ++stops;
    return {};
  }
};

// The modem tests' board: temporary root, simulated card, fresh logs.
class PacketDataTest : public testmodem::ModemTest {
 protected:
  void SetUp() override {
    ModemTest::SetUp();
    logEnable = 1;
    net_dial_settle_ms = 0;
    net_status_poll_ms = 0;
    is_net = 1;
    net_status = -1;
  }
  void TearDown() override {
    logEnable = 0;
    ModemTest::TearDown();
  }
  // Every QMI record written so far.
  std::string QmiLogText() const {
    std::string all;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root_.path() + "/media/card/QMI_LOG"))
      if (e.is_regular_file()) all += root_.Read(std::filesystem::relative(e.path(), root_.path()));
    return all;
  }
  ScriptedQmi* Scripted() {
    auto fake = std::make_unique<ScriptedQmi>();
    ScriptedQmi* p = fake.get();
    platform::InstallPacketData(std::move(fake));
    return p;
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(PacketDataTest, CallIsKeptWhileUpAndDialledAgainOnlyAfterItDrops) {
  platform::InstallPacketData(platform::MakeSimulatedPacketData(0));
  std::snprintf(modem_APN, sizeof modem_APN, "INTERNET");
  {
    testsupport::ConsoleCapture quiet;
    ASSERT_EQ(QMI_Init(), 1);
    ASSERT_EQ(QMI_wds_getObj(), 0);
  }
  struct Row {
    const char* network;
    int32_t is_net, net_status;
    int starts, stops;
    const char* console;  // a part of the pass's console
    const char* registration = "registered";  // what the simulated module says
  };
  const Row rows[] = {
      {"up", 0, 0, 1, 0, "APN: INTERNET\nUsername: \nPassword: \nDialup result=1\r\ndialup ready\n"},
      {"up", 0, 0, 0, 0, ""},  // kept: nothing stopped
      {"up", 0, 0, 0, 0, ""},
      {"down", 1, -1, 0, 1, "main(): QMI_WDS_STOP_NETWORK_INTERFACE_REQ_V01) Success.\nQMI_wds_hangup() : 1\n"},
      // Every pass dials while the network refuses: 50 checks, then -1.
      {"down", 1, -1, 1, 0, "main(): Error value=14.\nDialup result=0\r\n[0:1][1:1]"},
      {"down", 1, -1, 1, 0, "[48:1][49:1]"},
      {"up", 0, 0, 1, 0, "dialup ready\n"},
      // A module that loses its network drops the call and cannot dial.
      {"up", 1, -1, 0, 1, "QMI_wds_hangup() : 1\n", "not registered"},
      {"up", 1, -1, 1, 0, "Dialup result=0\r\n", "not registered"},
      {"up", 0, 0, 1, 0, "dialup ready\n"},
      // Unanswered status queries keep the call; the third in a row stops it.
      {"fail", 0, 0, 0, 0, "main(): qmi_client_send_msg_sync() failed. rc=-2.\n"},
      {"fail", 0, 0, 0, 0, ""},
      {"fail", 1, -1, 0, 1, "main(): qmi_client_send_msg_sync() failed. wds_rc=-2.\nQMI_wds_hangup() : 0\n"},
      {"up", 0, 0, 0, 0, ""},  // the call was never stopped: found up
  };
  for (const Row& row : rows) {
    root_.Write("sim/qmi", std::string(row.network) + "\n");
    root_.Write("sim/registration", std::string(row.registration) + "\n");
    testsupport::ConsoleCapture console;
    NetSupervisionPass();
    const std::string out = console.Text();
    SCOPED_TRACE(std::string(row.network) + "\n" + out);
    EXPECT_EQ(is_net.load(), row.is_net);
    EXPECT_EQ(net_status.load(), row.net_status);
    EXPECT_EQ(Count(out, "main(): (QMI_WDS_START_NETWORK_INTERFACE_REQ_V01) Start.\n"), row.starts);
    EXPECT_EQ(Count(out, "QMI_wds_hangup() : "), row.stops);
    EXPECT_NE(out.find(row.console), std::string::npos);
    EXPECT_EQ(out.find("[50:"), std::string::npos);
  }
  modem_APN[0] = '\0';
  EXPECT_NE(QmiLogText().find("API=>=> connection_status\r\nResponse=>2\r\n"), std::string::npos);
}

// The stop succeeds here, so a call stopped too early would show; each
// failed query says why on the console and in the QMI log.
TEST_F(PacketDataTest, UnansweredStatusQueriesKeepTheCallUntilTheThirdInARow) {
  ScriptedQmi* qmi = Scripted();
  {
    testsupport::ConsoleCapture quiet;
    ASSERT_EQ(QMI_wds_getObj(), 0);
  }
  is_net = 0;
  net_status = 0;
  const QmiReply kTimeout{platform::kQmiTimeout, 0};
  const char* const kNoAnswer = "main(): qmi_client_send_msg_sync() failed. rc=-2.\n";
  struct Row {
    QmiReply reply;
    int32_t status;
    int32_t is_net, net_status;
    int stops;
    const char* console;
  };
  const Row rows[] = {
      {kTimeout, 2, 0, 0, 0, kNoAnswer}, {kTimeout, 2, 0, 0, 0, kNoAnswer},
      {{}, 2, 0, 0, 0, ""},  // an answer starts the count again
      {{}, 4, 0, 0, 0, ""},  // authenticating: not disconnected
      {kTimeout, 2, 0, 0, 0, kNoAnswer}, {kTimeout, 2, 0, 0, 0, kNoAnswer},
      {{0, 26}, 2, 1, -1, 1, "main(): Error value=26.\n"},  // third failure in a row
      {{}, 2, 0, 0, 0, ""},                                  // the next pass finds it up again
      {{}, 1, 1, -1, 1, ""},                                 // disconnected: stopped at once
  };
  int row_number = 0;
  for (const Row& row : rows) {
    qmi->status_reply = row.reply;
    qmi->status = row.status;
    qmi->stops = 0;
    testsupport::ConsoleCapture console;
    NetSupervisionPass();
    SCOPED_TRACE(std::to_string(row_number++) + "\n" + console.Text());
    EXPECT_EQ(is_net.load(), row.is_net);
    EXPECT_EQ(net_status.load(), row.net_status);
    EXPECT_EQ(qmi->stops, row.stops);
    EXPECT_NE(console.Text().find(row.console), std::string::npos);
  }
  const std::string log = QmiLogText();
  for (const char* record : {"API=>QMI_wds_CheckDialupStatus <qmi_client_send_msg_sync>\r\nResponse=>-2\r\n",
                             "API=>=> resp.error\r\nResponse=>26\r\n",
                             "API=>=> connection_status\r\nResponse=>1\r\n"}) {
    EXPECT_NE(log.find(record), std::string::npos) << record;
  }
}

TEST_F(PacketDataTest, SetUpFailuresAndTheRetryOfALateService) {
  ScriptedQmi* qmi = Scripted();
  struct Row {
    bool object;
    int client;
    int result;
    const char* console;
  };
  const Row rows[] = {
      {false, 0, -1, "main(): wds_get_service_object_v01() failed.\n"},
      {true, 5, -1, "main(): qmi_client_init() failed. wds_rc=5.\n"},
      {true, 0, 0, ""},
  };
  for (const Row& row : rows) {
    qmi->object = row.object;
    qmi->client = row.client;
    testsupport::ConsoleCapture console;
    EXPECT_EQ(QMI_wds_getObj(), row.result);
    EXPECT_EQ(console.Text(), row.console);
    EXPECT_EQ(QmiWdsClientHeld(), row.result == 0);
  }
  EXPECT_NE(QmiLogText().find("API=>QMI_wds_getObj <qmi_client_release>\r\nResponse=>0\r\n"), std::string::npos);

  // A service missing at start-up is looked for again by the supervision,
  // and the call comes up once it is there.
  qmi->client = 5;
  {
    testsupport::ConsoleCapture quiet;
    QMI_wds_getObj();
    NetSupervisionPass();
    EXPECT_FALSE(QmiWdsClientHeld());
    qmi->client = 0;
    for (int pass = 0; pass < 31 && is_net.load() == 1; ++pass) NetSupervisionPass();
  }
  EXPECT_TRUE(QmiWdsClientHeld());
  EXPECT_EQ(net_status.load(), 0);
}

// A firmware built without libqmi says so once and never dials.
TEST_F(PacketDataTest, WithoutLibqmiNothingIsDialled) {
  platform::InstallPacketData(platform::MakeAbsentPacketData());
  testsupport::ConsoleCapture console;
  QMI_Init();
  EXPECT_EQ(QMI_nas_getObj(), -1);
  EXPECT_EQ(QMI_wds_getObj(), -1);
  for (int pass = 0; pass < 3; ++pass) EXPECT_FALSE(NetSupervisionPass());
  EXPECT_EQ(console.Text(), "packet data is not built in (this firmware was built without libqmi)\n");
  EXPECT_EQ(net_status.load(), -1);
}

#if QRV_HAVE_LIBQMI
TEST(LibQmiBackend, MapsLibqmiAnswers) {
  struct Row {
    GQuark domain;
    int code;
    QmiReply expected;
  };
  const Row rows[] = {
      {QMI_PROTOCOL_ERROR, QMI_PROTOCOL_ERROR_CALL_FAILED, {0, 14}},
      {QMI_PROTOCOL_ERROR, QMI_PROTOCOL_ERROR_NO_EFFECT, {0, 26}},
      {QMI_CORE_ERROR, QMI_CORE_ERROR_TIMEOUT, {platform::kQmiTimeout, 0}},
      {QMI_CORE_ERROR, QMI_CORE_ERROR_WRONG_STATE, {platform::kQmiTransportError, 0}},
      {G_IO_ERROR, G_IO_ERROR_NOT_FOUND, {platform::kQmiTransportError, 0}},
  };
  EXPECT_EQ(platform::QmiReplyFromError(nullptr).rc, 0);
  for (const Row& row : rows) {
    GError* e = g_error_new_literal(row.domain, row.code, "x");
    const QmiReply r = platform::QmiReplyFromError(e);
    g_error_free(e);
    EXPECT_EQ(r.rc, row.expected.rc) << row.code;
    EXPECT_EQ(r.error, row.expected.error) << row.code;
  }
  EXPECT_EQ(QMI_WDS_CONNECTION_STATUS_CONNECTED, platform::kWdsConnected);
}

// The adapter against an endpoint that speaks QMUX: what reaches the modem
// on the wire through a whole life of the call, a modem reset included.
TEST_F(PacketDataTest, LibQmiAdapterOnTheWire) {
  testmodem::QmuxFakeEndpoint modem;
  std::string why;
  if (!modem.Start(&why)) GTEST_SKIP() << why;
  platform::QmiEndpoint endpoint;
  endpoint.path = "/dev/null";  // only the proxy opens it
  platform::SetQmiEndpoint(endpoint);
  platform::InstallPacketData(platform::MakeDevicePacketData());
  std::snprintf(modem_APN, sizeof modem_APN, "internet.example");
  std::snprintf(modem_usr, sizeof modem_usr, "gateway");
  std::snprintf(modem_pwd, sizeof modem_pwd, "s3cret");
  const std::string handle = std::to_string(testmodem::QmuxFakeEndpoint::kHandle);
  const std::string start = "start apn=internet.example user=gateway password=s3cret";
  struct Step {
    const char* what;
    void (*act)(testmodem::QmuxFakeEndpoint&);
    std::vector<std::string> wire;  // what the modem is asked, in order
  };
  const Step steps[] = {
      {"set-up", [](testmodem::QmuxFakeEndpoint&) { QMI_Init(), QMI_nas_getObj(), QMI_wds_getObj(); },
       {"proxy open /dev/null", "sync", "allocate service 3: cid 1", "allocate service 1: cid 2"}},
      {"dial", [](testmodem::QmuxFakeEndpoint&) { NetSupervisionPass(); },
       {"status cid 2", start, "status cid 2"}},
      {"kept", [](testmodem::QmuxFakeEndpoint&) { NetSupervisionPass(); }, {"status cid 2"}},
      // The modem resets: the request fails, the call is kept for now, and
      // the next pass opens the endpoint again and finds the call gone.
      {"reset",
       [](testmodem::QmuxFakeEndpoint& m) {
         ASSERT_TRUE(m.Drop());
         NetSupervisionPass();
       },
       {}},
      {"reopen", [](testmodem::QmuxFakeEndpoint&) { NetSupervisionPass(); },
       {"proxy open /dev/null", "sync", "allocate service 3: cid 3", "allocate service 1: cid 4", "status cid 4",
        "stop handle=" + handle}},
      {"redial", [](testmodem::QmuxFakeEndpoint&) { NetSupervisionPass(); },
       {"status cid 4", start, "status cid 4"}},
      {"hang up", [](testmodem::QmuxFakeEndpoint&) { hangup_actions(); }, {"stop handle=" + handle}},
      {"end", [](testmodem::QmuxFakeEndpoint&) { QmiReleaseClients(); },
       {"release service 1 cid 4", "release service 3 cid 3"}},
  };
  testsupport::ConsoleCapture console;
  for (const Step& step : steps) {
    step.act(modem);
    SCOPED_TRACE(step.what);
    EXPECT_EQ(modem.Take(), step.wire);
  }
  EXPECT_EQ(net_status.load(), 0);
  modem.Stop();
  modem_APN[0] = modem_usr[0] = modem_pwd[0] = '\0';
  platform::SetQmiEndpoint(platform::QmiEndpoint());
}

TEST(LibQmiBackend, MissingEndpointFailsTheSetUpWithItsMessages) {
  platform::QmiEndpoint endpoint;
  endpoint.path = "/nonexistent/cdc-wdm9";
  platform::SetQmiEndpoint(endpoint);
  auto qmi = platform::MakeDevicePacketData();
  testsupport::ConsoleCapture console;
  EXPECT_LT(qmi->Init(), 0);
  EXPECT_FALSE(qmi->ServiceObject(platform::QmiService::kWds));
  int32_t status = 0;
  EXPECT_EQ(qmi->PacketServiceStatus(100, &status).rc, platform::kQmiNoClient);
  platform::SetQmiEndpoint(platform::QmiEndpoint());
  EXPECT_NE(console.Text().find("QMI endpoint /nonexistent/cdc-wdm9 cannot be opened"), std::string::npos);
}
#endif

}  // namespace
