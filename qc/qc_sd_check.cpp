#include "qc/qc_sd_check.h"

#include <fcntl.h>

#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/sleep.h"
#include "platform/fd_io.h"
#include "platform/paths.h"
#include "platform/sd_card.h"
#include "qc/qc_pauses.h"

namespace {

constexpr char kTestFile[] = "/media/card/QC.txt";
constexpr char kTestLine[] = "SD_Card_OK\r\n";
constexpr int kLineSize = 512;

}  // namespace

int save_sdcard() {
  platform::UniqueFd file(
      ::open(platform::Path(kTestFile).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  bool written = false;
  if (file.valid()) {
    SleepMilliseconds(qc_io_settle_ms.load());
    written = platform::CardWriteAll(file.get(), kTestLine, sizeof kTestLine - 1) == 0;
    // A full card may refuse the data only when it is closed.
    written = file.Close() == 0 && written;
  }
  PrintMsg(written ? "Save SD file success for saving\r" : "Save SD file fail\r");
  return written ? 1 : 0;
}

int read_sdcard(bool* found) {
  *found = false;
  FILE* file = std::fopen(platform::Path(kTestFile).c_str(), "r");
  if (file == nullptr) {
    PrintMsg("Read SD file fail\r");
    return 0;
  }
  PrintMsg("Read SD file success\r");
  char line[kLineSize];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    PrintMsg("%s", line);
    if (std::strncmp(line, "SD_Card_OK", 10) == 0) {
      PrintMsg("SD_Card_Check_OK\r\n");
      *found = true;
    }
  }
  std::fclose(file);  // NOLINT(cert-err33-c): read only: nothing to lose
  return 1;
}

int QcSdCheck() {
  int check = 0;
  // Without a card, /media/card is a bare folder of the board's own flash:
  // a file written there would pass the test for a card that is not there.
  if (!platform::SdCardBackend().IsPresent()) {
    PrintMsg(">No SD card mounted at /media/card\r\n");
  } else {
    // A failed write leaves an older QC.txt behind, which must not pass.
    const int saved = save_sdcard();
    bool found = false;
    check = read_sdcard(&found) == 1 && saved == 1 && found ? 1 : 0;
  }
  PrintMsg("check=%d\n", check);
  return check;
}
