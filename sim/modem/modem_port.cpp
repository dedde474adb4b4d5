#include "sim/modem/modem_port.h"

namespace sim {

namespace {
// Answers wait for a firmware that is not reading; a module's output
// buffer is large, and losing an answer would be a fault of the model.
constexpr size_t kModemBacklog = 1 << 20;
}  // namespace

ModemPort::ModemPort(int master_fd, ModemModel& model) : port_(master_fd, kModemBacklog), model_(model) {
  model_.SetSender([this](const std::string& bytes) { port_.Send(bytes); });
}

void ModemPort::OnReadable(int64_t now_us) {
  std::string bytes = port_.ReadAvailable();
  if (!bytes.empty()) model_.Receive(bytes, now_us);
}

void ModemPort::RunTimers(int64_t now_us) {
  int64_t due = model_.NextDeadlineUs();
  if (due >= 0 && now_us >= due) model_.OnDeadline(now_us);
}

}  // namespace sim
