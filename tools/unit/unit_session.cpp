#include "tools/unit/unit_session.h"

namespace unitlink {

namespace {

constexpr int kAnswerWaitMs = 3000;
constexpr int kSlowAnswerWaitMs = 6000;

}  // namespace

UnitReply UnitSession::Ask(const std::string& request) {
  const bool slow = request.rfind("@SAVE", 0) == 0 || request.rfind("@DEFT", 0) == 0;
  std::lock_guard<std::mutex> lock(mutex_);
  const Exchange ex = link_.Ask(request, slow ? kSlowAnswerWaitMs : kAnswerWaitMs);
  UnitReply reply = ParseReply(request, ex.bytes);
  reply.error = ex.error;
  return reply;
}

std::string NotConfigurable(const UnitReply& reply, const std::string& device) {
  if (!reply.error.empty()) return reply.error;
  switch (reply.kind) {
    case ReplyKind::kOk:
      return "";
    case ReplyKind::kNone:
      return "the unit on " + device +
             " does not answer: is it powered and connected, and was it started in utility mode (init pin held)?";
    case ReplyKind::kEr:
      return "the unit on " + device + " refused the request";
    case ReplyKind::kForeign:
      break;
  }
  return "the unit on " + device + " is not in utility mode (it answered \"" + reply.Describe() +
         "\"): restart it with the init pin held";
}

}  // namespace unitlink
