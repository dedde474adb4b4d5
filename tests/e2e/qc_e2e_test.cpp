// The production line's QC dialogue on the simulated board: tools/qc-station
// drives a unit started in utility mode through every step, and the
// calibration it stores is the one the next start reads.
#include <sstream>
#include <string>
#include <vector>

#include "e2e/sim_e2e_fixture.h"

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

}  // namespace e2e
