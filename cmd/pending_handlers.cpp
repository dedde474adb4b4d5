// Handlers still being written: weak stand-ins that answer nothing, so the
// table links while each family lands. A family's real handlers replace
// them; this file goes when the last one has.
#include "cmd/handlers.h"

#define PENDING(name) \
  __attribute__((weak)) int name(char*, int) { return 0; }

PENDING(cmd_stan)
PENDING(cmd_devname)
PENDING(cmd_evnt)
PENDING(cmd_phone)
PENDING(cmd_msg)
PENDING(cmd_actv)
PENDING(cmd_time)
PENDING(cmd_iosta)
PENDING(cmd_doc)
PENDING(cmd_div)
PENDING(cmd_gain)
PENDING(cmd_fver)
PENDING(cmd_sig)
PENDING(cmd_cpin)
PENDING(cmd_default)
PENDING(cmd_ctrlphone)
PENDING(cmd_uartphone)
PENDING(cmd_smslog)
PENDING(cmd_uartset)
PENDING(cmd_save)
PENDING(cmd_reboot)
PENDING(cmd_qctest)
PENDING(cmd_initpin)
PENDING(cmd_test)
PENDING(cmd_voice)
PENDING(cmd_sdexist)
PENDING(CmdLogFile)
PENDING(CmdLogData)
PENDING(CmdLogDelete)
PENDING(CmdLogEnable)
PENDING(CmdLogSave)
PENDING(CmdLogSdInfo)
PENDING(CmdLogStatus)
PENDING(CmdSdExist)
PENDING(CmdSMSDBS)
