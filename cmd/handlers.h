// The handlers of the serial command table, in table order. Each follows
// the contract of cmd/command_reply.h and writes its own reply.
#pragma once

int cmd_stan(char* line, int match_len);
int cmd_devname(char* line, int match_len);
int cmd_evnt(char* line, int match_len);
int cmd_phone(char* line, int match_len);
int cmd_msg(char* line, int match_len);
int cmd_actv(char* line, int match_len);
int cmd_time(char* line, int match_len);
int cmd_iosta(char* line, int match_len);
int cmd_doc(char* line, int match_len);
int cmd_div(char* line, int match_len);
int cmd_gain(char* line, int match_len);
int cmd_fver(char* line, int match_len);
int cmd_sig(char* line, int match_len);
int cmd_cpin(char* line, int match_len);
int cmd_default(char* line, int match_len);
int cmd_ctrlphone(char* line, int match_len);
int cmd_uartphone(char* line, int match_len);
int cmd_smslog(char* line, int match_len);
int cmd_uartset(char* line, int match_len);
int cmd_save(char* line, int match_len);
int cmd_reboot(char* line, int match_len);
int cmd_qctest(char* line, int match_len);
int cmd_initpin(char* line, int match_len);
int cmd_test(char* line, int match_len);
int cmd_voice(char* line, int match_len);
int cmd_sdexist(char* line, int match_len);
int CmdLogFile(char* line, int match_len);
int CmdLogData(char* line, int match_len);
int CmdLogDelete(char* line, int match_len);
int CmdLogEnable(char* line, int match_len);
int CmdLogSave(char* line, int match_len);
int CmdLogSdInfo(char* line, int match_len);
int CmdLogStatus(char* line, int match_len);
int CmdSdExist(char* line, int match_len);
int CmdSMSDBS(char* line, int match_len);
