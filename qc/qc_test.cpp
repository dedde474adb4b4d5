#include "qc/qc_test.h"

#include "base/console.h"

// The factory dialogue is not built yet: the command that enters it gets
// its banners and an immediate end.
int qc_test(int /*flag*/) {
  PrintMsg(">QC test is not available in this firmware.\r\n");
  return 0;
}
