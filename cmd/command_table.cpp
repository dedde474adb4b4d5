#include "cmd/command_table.h"

#include <cstring>

#include "cmd/handlers.h"

const CommandEntry u_cmd[uiCmdCount] = {
    {"@STAN", 5, cmd_stan, 0},
    {"@DEVNAME", 8, cmd_devname, 0},
    {"@EVNT", 5, cmd_evnt, 0},
    {"@PHONE", 6, cmd_phone, 0},
    {"@MSG", 4, cmd_msg, 0},
    {"@ACTV", 5, cmd_actv, 0},
    {"@TIME", 5, cmd_time, 0},
    {"@IOSTA", 6, cmd_iosta, 0},
    {"@DOC", 4, cmd_doc, 0},
    {"@DIV", 4, cmd_div, 0},
    {"@GAIN", 5, cmd_gain, 0},
    {"@FVER", 5, cmd_fver, 0},
    {"@SIG", 4, cmd_sig, 0},
    {"@CPIN", 5, cmd_cpin, 0},
    {"@DEFT", 5, cmd_default, 0},
    {"@CTRLPH", 7, cmd_ctrlphone, 0},
    {"@UARTPH", 7, cmd_uartphone, 0},
    {"@SMSLOG", 7, cmd_smslog, 0},
    {"@UARTSET", 8, cmd_uartset, 0},
    {"@SAVE", 5, cmd_save, 0},
    {"@REBOOT", 7, cmd_reboot, 0},
    {"@QCTEST", 7, cmd_qctest, 0},
    {"@INITPIN", 8, cmd_initpin, 0},
    {"@TEST", 5, cmd_test, 0},
    {"@VOICE", 6, cmd_voice, 0},
    {"@SDEXIST", 8, cmd_sdexist, 0},
    {"@LOGFILE", 8, CmdLogFile, 0},
    {"@LOGDATA", 8, CmdLogData, 0},
    {"@LOGDEL", 7, CmdLogDelete, 0},
    {"@LOGEN", 6, CmdLogEnable, 0},
    {"@LOGSAVE", 8, CmdLogSave, 0},
    {"@LOGSD", 6, CmdLogSdInfo, 0},
    {"@LOGST", 6, CmdLogStatus, 0},
    {"@LOGSDEXIS", 11, CmdSdExist, 0},
    {"@SMSDBS", 7, CmdSMSDBS, 0},
};

std::vector<int> MatchingEntries(const char* token) {
  std::vector<int> found;
  if (token == nullptr) return found;
  for (int i = 0; i < uiCmdCount; ++i) {
    // Every name starts with "@": the letter behind it tells most apart at
    // the cost of one comparison (token is terminated, so token[1] exists).
    const char* name = u_cmd[i].name;
    if (u_cmd[i].match_len >= 2 && (token[0] != name[0] || token[1] != name[1])) continue;
    if (std::strncmp(token, name, static_cast<size_t>(u_cmd[i].match_len)) == 0) found.push_back(i);
  }
  return found;
}

int DispatchCommandLine(const char* token) {
  if (token == nullptr) return 0;
  const std::vector<int> entries = MatchingEntries(token);
  for (int i : entries) {
    // A fresh copy for each handler: the one before may have cut it up.
    char line[kCommandLineMax + 1];
    const size_t n = strnlen(token, kCommandLineMax);
    std::memcpy(line, token, n);
    line[n] = '\0';
    u_cmd[i].handler(line, u_cmd[i].match_len);
  }
  return static_cast<int>(entries.size());
}
