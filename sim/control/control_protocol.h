// The control socket DIR/sim/ctl.sock: a unix stream socket taking one
// command per connection. The client sends the command as one line ending
// in "\n"; the simulator answers "ok\n" or "error\n" followed by the text
// of the answer, and closes the connection.
#pragma once

#include <sys/un.h>

#include <string>

#include "sim/control/reply.h"

namespace sim {

/// Longest command line the simulator takes.
constexpr size_t kMaxCommandLine = 4096;

std::string EncodeReply(const Reply& reply);
/// False when the bytes are no answer of the simulator.
bool DecodeReply(const std::string& bytes, Reply* reply);

/// Fills a unix socket address; false when the path is too long for one.
bool SocketAddress(const std::string& path, struct sockaddr_un* addr, std::string* error);

}  // namespace sim
