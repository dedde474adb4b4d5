// A unit's settings carried to a factory-fresh unit: qrv806-term --backup on
// one simulated board, --restore on another, and the two config.ini files
// compared line by line (less the report schedule's next time, which each
// unit works out for itself and the protocol cannot set).
#include <fstream>
#include <sstream>

#include "e2e/sim_e2e_fixture.h"

namespace e2e {

namespace {

// The lines of a config.ini that a restore must reproduce.
std::vector<std::string> Carried(const std::string& ini) {
  std::vector<std::string> out;
  std::istringstream in(ini);
  for (std::string line; std::getline(in, line);) {
    if (line.find("#rp_ulNextReportTimeSt=") == std::string::npos) out.push_back(line);
  }
  return out;
}

}  // namespace

class BackupRestoreE2eTest : public SimE2eTest {
 protected:
  // Starts a board in utility mode in `root` and waits until it answers.
  void StartUtility(const std::string& root) {
    root_ = root;
    StartSim({"--utility"});
    WaitReady();
    ASSERT_TRUE(WaitFor([&] { return Term({"@DEVNAME"}, 2).find(";DEVNAME;OK;") != std::string::npos; }))
        << Output() << dir_.Read("term-errors.txt");
  }
  void StopBoard() {
    ASSERT_EQ(Ctl({"stop"}).status, 0);
    ASSERT_EQ(sim_->WaitForExit(std::chrono::seconds(60)), 0) << Output();
    sim_.reset();
  }
  // A file under the running board's root.
  std::string RootFile(const std::string& relative) {
    std::ifstream in(root_ + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  CtlResult TermTool(const std::vector<std::string>& args) {
    std::vector<std::string> all = {root_ + "/term"};
    all.insert(all.end(), args.begin(), args.end());
    return RunSim(all, kTerm);
  }
};

TEST_F(BackupRestoreE2eTest, ARestoredFreshUnitSavesTheSameConfigIni) {
  const std::string source = dir_.path() + "/source";
  const std::string target = dir_.path() + "/target";
  const std::string backup = dir_.path() + "/unit.txt";

  StartUtility(source);
  const std::string session = Term({
      "@STAN;PUMP-STATION-4",
      "@CTRLPH;2;0912345678;+886987654321",
      "@UARTPH;0955555555",
      "@UARTSET;9600;E;7;2;ON",
      "@ACTV1;120;5000",
      "@EVNT0;DI2;NC;2000;1000;DO0_ON;3000;VOICE_ON;SMSDBS_OFF",
      "@PHONE0;2;0911111111;0922222222",
      "@MSG0;7BIT;9;Door open",
      "@EVNT1;AI3;HL;500;60;7.25;-2.5;DO_ALL_ON;0;VOICE_OFF;SMSDBS_ON",
      "@MSG1;UCS2;3;95805DF2958B",
      "@EVNT2;COUNTER1;NO_PULSE;50;50;DO1_ON;86400000;VOICE_OFF;SMSDBS_OFF",
      "@EVNT5;REPORT;7;083000;SMSDBS_ON",
      "@PHONE5;1;0933333333",
      "@SMSDBS9;1",
      "@SAVE",
  });
  EXPECT_EQ(session.find(";ER\\r\\n"), std::string::npos) << session;
  const std::string source_ini = RootFile("APP/config.ini");
  ASSERT_NE(source_ini.find("cMachineID=PUMP-STATION-4\r\n"), std::string::npos) << session;

  CtlResult r = TermTool({"--backup", backup});
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string text = dir_.Read("unit.txt");
  for (const char* line : {"# name: PUMP-STATION-4\n", "# model: QRV-806XK\n", "# firmware: ORVEL_v1.2.4 20210713\n",
                           "\n@EVNT1;AI3;HL;500;60;7.250000;-2.500000;DO_ALL_ON;0;VOICE_OFF;SMSDBS_ON\n",
                           "\n@MSG1;UCS2;3;95805DF2958B\n", "\n@EVNT5;REPORT;7;083000;SMSDBS_ON\n", "\n@PHONE0;2;0911111111;0922222222\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  StopBoard();

  StartUtility(target);
  r = TermTool({"--restore", backup});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("@SAVE -> !QRV-806XK;SAVE;OK\\r\\n"), std::string::npos) << r.out;
  EXPECT_EQ(Carried(RootFile("APP/config.ini")), Carried(source_ini));

  // With --keep-name the target stays under its own name, the rest alike.
  ASSERT_EQ(Term({"@STAN;SPARE-UNIT"}), "!SPARE-UNIT;STAN;OK\\r\\n\n");
  r = TermTool({"--restore", backup, "--keep-name"});
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<std::string> expected = Carried(source_ini);
  expected[0] = "cMachineID=SPARE-UNIT\r";
  EXPECT_EQ(Carried(RootFile("APP/config.ini")), expected);
  StopBoard();
}

// A restore stops at the first refused line, names it, and saves nothing.
TEST_F(BackupRestoreE2eTest, ARefusedLineStopsTheRestoreUnsaved) {
  StartUtility(root_);
  const std::string before = RootFile("APP/config.ini");
  std::ofstream(dir_.path() + "/bad.txt") << "# edited by hand\n@STAN;NEW-NAME\n\n@EVNT3;DI7;NO;200;50;DO0_ON;0;VOICE_OFF;SMSDBS_OFF\n"
                                             "@PHONE3;1;0911111111\n";
  const CtlResult r = TermTool({"--restore", dir_.path() + "/bad.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("line 4 (@EVNT3;DI7;"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("@PHONE3"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("@SAVE"), std::string::npos) << r.out;
  EXPECT_EQ(RootFile("APP/config.ini"), before);
  StopBoard();
}

}  // namespace e2e
