#include "sim/control/control_protocol.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

namespace sim {

std::string EncodeReply(const Reply& reply) {
  std::string text = reply.text;
  if (!text.empty() && text.back() != '\n') text += '\n';
  return (reply.ok ? "ok\n" : "error\n") + text;
}

bool DecodeReply(const std::string& bytes, Reply* reply) {
  size_t nl = bytes.find('\n');
  if (nl == std::string::npos) return false;
  std::string head = bytes.substr(0, nl);
  if (head != "ok" && head != "error") return false;
  reply->ok = head == "ok";
  reply->text = bytes.substr(nl + 1);
  return true;
}

bool SocketAddress(const std::string& path, sockaddr_un* addr, std::string* error) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) {
    *error = "the socket path " + path + " is too long for a unix socket (at most " +
             std::to_string(sizeof addr->sun_path - 1) + " characters): use a shorter --root";
    return false;
  }
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace sim
