#include "hw/sd_card.h"

#include "base/console.h"
#include "platform/sd_card.h"

int sd_card_init() {
  switch (platform::SdCardBackend().Presence()) {
    case platform::SdPresence::kPresent:
      if_sd_card = 1;
      return 1;
    case platform::SdPresence::kAbsent:
      return 0;
    case platform::SdPresence::kUnknown:
      break;
  }
  PrintMsg(">popen() error!\n");
  return -1;
}
