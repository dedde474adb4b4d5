// The production line's QC dialogue on the simulated board: tools/qc-station
// drives a unit started in utility mode through every step, and the
// calibration it stores is the one the next start reads.
#include <poll.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "e2e/sim_e2e_fixture.h"
#include "sim/run/pty_pair.h"

namespace e2e {

const std::string kStation = std::string(QRV_SOURCE_DIR) + "/tools/qc-station";

class QcE2eTest : public SimE2eTest {
 protected:
  // Field `index` (counted from 0) of a ";"-separated reply, as a number.
  static double Field(const std::string& reply, int index) {
    std::istringstream in(reply);
    std::string field;
    for (int i = 0; i <= index && std::getline(in, field, ';'); ++i) {
    }
    return std::atof(field.c_str());
  }
  void StartUtility() {
    StartSim({"--utility"});
    WaitReady();
    ASSERT_TRUE(WaitFor([&] { return Term({"@GAIN"}, 2).find(";GAIN;OK;") != std::string::npos; })) << Output();
  }
};

TEST_F(QcE2eTest, StationPassesEveryStepAndTheNextStartReadsTheCalibration) {
  // A unit calibrated badly before: the test must replace it.
  dir_.Write("root/APP/gain.ini", "gain=2.000000\r\noffset=1.000000\r\ngain2=2.000000\r\noffset2=1.000000\r\n");
  StartUtility();
  EXPECT_EQ(Term({"@GAIN"}, 2), "!QRV-806XK;GAIN;OK;2.000000;1.000000;2.000000;1.000000\\r\\n\n");

  // The test SMS fails once and goes out again 10 s later: the SMS-loop
  // step still passes, its ten checks counting once the message has left.
  ASSERT_EQ(Ctl({"sms-fail", "1"}).status, 0);
  const CtlResult station = RunSim({"--sim", root_, "--sim-ctl", kSim, "--channel", "1", "--own-number",
                                    "0933806806"},
                                   kStation);
  EXPECT_EQ(station.status, 0) << station.out << "\nsimulator output:\n" << Output();
  std::istringstream lines(station.out);
  int steps = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("QC ", 0) == 0) continue;  // the final line
    EXPECT_EQ(line.rfind("PASS ", 0), 0u) << line;
    ++steps;
  }
  EXPECT_EQ(steps, 15) << station.out;
  EXPECT_NE(station.out.find("QC PASSED"), std::string::npos) << station.out;
  EXPECT_TRUE(OutboxHas("\"number\":\"0933806806\"")) << Ctl({"outbox"}).out;

  // The next start reads the stored calibration: the inputs read the
  // applied volts again, on both ranges.
  ASSERT_EQ(Ctl({"stop"}).status, 0);
  ASSERT_EQ(sim_->WaitForExit(std::chrono::seconds(60)), 0) << Output();
  EXPECT_EQ(Board("APP/gain.ini").rfind("gain=1.000000\r\n", 0), 0u) << Board("APP/gain.ini");
  StartUtility();
  // Read as written, not replaced by the defaults of a missing or bad file.
  EXPECT_NE(Output().find(">Open file(gain.ini) success for reading"), std::string::npos) << Output();
  EXPECT_EQ(Output().find("value err("), std::string::npos) << Output();
  EXPECT_EQ(Output().find(">Unknown content"), std::string::npos) << Output();
  ASSERT_EQ(Ctl({"ai", "1", "7.5"}).status, 0);
  ASSERT_EQ(Ctl({"ai", "2", "-3"}).status, 0);
  const std::string iosta = Term({"@IOSTA"}, 2);
  ASSERT_EQ(iosta.rfind("!QRV-806XK;IOSTA;OK;", 0), 0u) << iosta << Output();
  EXPECT_NEAR(Field(iosta, 9), 7.5, 0.01) << iosta;  // AI1
  EXPECT_NEAR(Field(iosta, 10), -3, 0.01) << iosta;  // AI2
}

// A unit the test plays on a pseudo-terminal at ROOT/term: each request
// gets the answer of the first row it starts with, or none.
class FakeUnit {
 public:
  FakeUnit(const std::string& root, std::vector<std::pair<std::string, std::string>> answers)
      : answers_(std::move(answers)) {
    std::string error;
    pty_ = sim::PtyPair::Open(&error);
    EXPECT_TRUE(pty_ && sim::PlaceLink(pty_->slave_path(), root + "/term", &error)) << error;
    if (pty_) thread_ = std::thread([this] { Serve(); });
  }
  ~FakeUnit() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Serve() {
    std::string in;
    while (!stop_) {
      pollfd p{pty_->master(), POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buf[256];
      const ssize_t n = read(pty_->master(), buf, sizeof buf);
      if (n > 0) in.append(buf, static_cast<size_t>(n));
      for (size_t cr; (cr = in.find('\r')) != std::string::npos; in.erase(0, cr + 1)) {
        for (const auto& row : answers_) {
          if (in.compare(0, row.first.size(), row.first) != 0) continue;
          EXPECT_EQ(write(pty_->master(), row.second.data(), row.second.size()), static_cast<ssize_t>(row.second.size()));
          break;
        }
      }
    }
  }

  std::vector<std::pair<std::string, std::string>> answers_;
  std::unique_ptr<sim::PtyPair> pty_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

// What the station says of a unit that cannot pass: one not in utility
// mode, and one whose reading is far from the reference applied.
TEST(QcStation, SaysWhatIsWrongWithTheUnit) {
  const std::vector<std::pair<std::string, std::string>> in_test = {
      {"@QCTEST", "!U;QCTEST;OK;QRV-806XK\r\n**********QC START**********\r\n"},
      {"@FWVER", "!FWVER;ORVEL_v1.2.4\r\n"},
      {"@QCAI0;", "@QCAI0;OK;3.3000;1\r\n"},
      {"@QCAI1;", "@QCAI1;OK;0.0100;1\r\n"},
      {"@QCAI2;", "@QCAI1;OK;-9.9900;1\r\n"},
      {"@BREAK", "***********QC END***********\r\n"},
  };
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> answers;
    std::vector<const char*> lines;
  } rows[] = {
      {"silent: not in utility mode", {}, {"FAIL QCTEST no \"!ID;QCTEST;OK;QRV-806XK\" reply (got nothing); the unit "
                                           "answers these requests only in utility mode: start it with the init pin held"}},
      {"3.3 V read at +10 V",
       in_test,
       {"FAIL QCAI0 reading 3.3000 at +10.0 V is outside +8.0 to +12.0 V: is the reference applied, and to AI0?\n",
        "PASS QCAI1 reading 0.0100 at +0.0 V\n", "PASS QCAI2 reading -9.9900 at -10.0 V\n"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    testsupport::TempDir root;
    FakeUnit unit(root.path(), row.answers);
    const CtlResult station = RunSim({"--sim", root.path(), "--sim-ctl", "/bin/true", "--timeout", "0.5",
                                      "--ready-timeout", "2", "--sms-timeout", "0.5"},
                                     kStation);
    EXPECT_EQ(station.status, 1);
    for (const char* line : row.lines) EXPECT_NE(station.out.find(line), std::string::npos) << station.out;
  }
}

}  // namespace e2e
