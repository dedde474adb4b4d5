#include "sim/run/pty_pair.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

std::unique_ptr<PtyPair> PtyPair::Open(std::string* error) {
  int master = ::open("/dev/ptmx", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) {
    *error = std::string("cannot open /dev/ptmx: ") + std::strerror(errno);
    return nullptr;
  }
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    *error = std::string("cannot set up a pseudo-terminal: ") + std::strerror(errno);
    ::close(master);
    return nullptr;
  }
  int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    *error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    ::close(master);
    return nullptr;
  }
  termios tio {};
  if (tcgetattr(slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
  }
  return std::unique_ptr<PtyPair>(new PtyPair(master, slave, name));
}

PtyPair::PtyPair(int master, int held_slave, std::string slave_path)
    : master_(master), held_slave_(held_slave), slave_path_(std::move(slave_path)) {}

PtyPair::~PtyPair() {
  ::close(held_slave_);
  ::close(master_);
}

bool PlaceLink(const std::string& target, const std::string& link, std::string* error) {
  std::string tmp = link + ".tmp." + std::to_string(::getpid());
  ::unlink(tmp.c_str());
  if (::symlink(target.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0) {
    *error = "cannot link " + link + " to " + target + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

void RemoveLinkTo(const std::string& target, const std::string& link) {
  char buf[256];
  ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return;
  buf[n] = '\0';
  if (target == buf) ::unlink(link.c_str());
}

}  // namespace sim
