#include "sim/board/registration_file.h"

#include "platform/packet_data.h"
#include "sim/board/board_files.h"

namespace sim {

bool RegistrationFile::Update(bool registered) {
  if (written_ == (registered ? 1 : 0)) return true;
  if (!ReplaceFile(root_.Path(platform::kSimRegistrationFile), registered ? "registered\n" : "not registered\n")) {
    return false;
  }
  written_ = registered ? 1 : 0;
  return true;
}

}  // namespace sim
