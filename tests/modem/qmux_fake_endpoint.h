// A QMI endpoint for tests that speaks the QMUX wire format on qmi-proxy's
// abstract socket, the way qmi-proxy passes a modem's messages on: the
// proxy's own open, CTL sync, client id allocation and release, and the WDS
// packet service status, start network and stop network. It records what
// it was asked, one line per request, and can drop the connection the way
// a modem reset does. Every wait in it is bounded.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testmodem {

class QmuxFakeEndpoint {
 public:
  static constexpr uint32_t kHandle = 0x1A2B3C4D;  // of the call a start makes

  QmuxFakeEndpoint() = default;
  ~QmuxFakeEndpoint() { Stop(); }
  QmuxFakeEndpoint(const QmuxFakeEndpoint&) = delete;
  QmuxFakeEndpoint& operator=(const QmuxFakeEndpoint&) = delete;

  /// Takes the socket; false (with the reason) when it is in use, e.g. by
  /// a qmi-proxy running on this machine.
  bool Start(std::string* why) {
    listen_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    static const char kName[] = "qmi-proxy";  // abstract: a leading zero byte
    std::memcpy(addr.sun_path + 1, kName, sizeof kName - 1);
    const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + sizeof kName - 1);
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(listen_, 4) != 0) {
      *why = std::string("the abstract socket qmi-proxy cannot be taken (a qmi-proxy running?): ") + strerror(errno);
      return false;
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
  }

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (client_ >= 0) close(client_);
    if (listen_ >= 0) close(listen_);
    client_ = listen_ = -1;
  }

  /// Closes the connection, as a modem reset or a lost port does; the call
  /// that was up is gone with it. True once it is closed.
  bool Drop() {
    drop_ = true;
    for (int i = 0; i < 1000 && drop_.load(); ++i) usleep(10 * 1000);
    return !drop_.load();
  }

  /// The requests so far, one line each, and forgets them.
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::string> out;
    out.swap(seen_);
    return out;
  }

 private:
  using Bytes = std::vector<uint8_t>;

  void Serve() {
    Bytes in;
    while (!stop_.load()) {
      if (drop_.load()) {
        if (client_ >= 0) close(client_);
        client_ = -1;
        up_ = false;
        in.clear();
        drop_ = false;
      }
      pollfd fds[2] = {{listen_, POLLIN, 0}, {client_, POLLIN, 0}};
      if (poll(fds, client_ >= 0 ? 2 : 1, 50) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        const int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
          if (client_ >= 0) close(client_);
          client_ = fd;
          in.clear();
          continue;
        }
      }
      if (client_ < 0 || !(fds[1].revents & (POLLIN | POLLHUP))) continue;
      uint8_t buf[2048];
      const ssize_t n = read(client_, buf, sizeof buf);
      if (n <= 0) {
        close(client_);
        client_ = -1;
        continue;
      }
      in.insert(in.end(), buf, buf + n);
      // Frames: 0x01 marker, u16 length of what follows the marker.
      while (in.size() >= 3) {
        const size_t len = in[1] | in[2] << 8;
        if (in[0] != 0x01 || len < 6 || len > 4096) {
          Note("bad frame");
          in.clear();
          break;
        }
        if (in.size() < 1 + len) break;
        const Bytes frame(in.begin(), in.begin() + 1 + len);
        in.erase(in.begin(), in.begin() + 1 + len);
        Answer(frame);
      }
    }
  }

  static uint16_t U16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

  // The TLVs of a message, each bounded by the message's own length.
  static bool FindTlv(const Bytes& tlvs, uint8_t type, Bytes* value) {
    for (size_t at = 0; at + 3 <= tlvs.size();) {
      const size_t len = U16(tlvs, at + 1);
      if (at + 3 + len > tlvs.size()) return false;
      if (tlvs[at] == type) {
        value->assign(tlvs.begin() + static_cast<long>(at) + 3, tlvs.begin() + static_cast<long>(at + 3 + len));
        return true;
      }
      at += 3 + len;
    }
    return false;
  }
  static std::string Text(const Bytes& tlvs, uint8_t type) {
    Bytes v;
    return FindTlv(tlvs, type, &v) ? std::string(v.begin(), v.end()) : "(none)";
  }
  static void Put16(Bytes* b, unsigned v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
  }
  // A TLV after whatever `b` holds already.
  static Bytes Tlv(uint8_t type, const Bytes& value, Bytes b = {}) {
    b.push_back(type);
    Put16(&b, static_cast<unsigned>(value.size()));
    b.insert(b.end(), value.begin(), value.end());
    return b;
  }
  // The result TLV, after `body`.
  static Bytes Result(unsigned error, const Bytes& body = {}) {
    return Tlv(0x02, {static_cast<uint8_t>(error ? 1 : 0), 0, static_cast<uint8_t>(error), 0}, body);
  }

  void Answer(const Bytes& f) {
    const uint8_t service = f[4], cid = f[5];
    const bool ctl = service == 0;
    const size_t head = ctl ? 6 : 7;  // SDU header: flags, transaction (1 or 2 bytes), id, TLV length
    if (f.size() < 6 + head) return Note("short message");
    const uint16_t id = U16(f, 6 + head - 4);
    const size_t tlv_len = U16(f, 6 + head - 2);
    if (6 + head + tlv_len > f.size()) return Note("bad TLV length");
    const Bytes tlvs(f.begin() + static_cast<long>(6 + head), f.begin() + static_cast<long>(6 + head + tlv_len));
    Bytes body = Result(0), v;
    if (ctl) {
      if (id == 0xFF00) {
        Note("proxy open " + Text(tlvs, 0x01));
      } else if (id == 0x0027) {
        Note("sync");
      } else if (id == 0x0022 && FindTlv(tlvs, 0x01, &v) && v.size() == 1) {
        const uint8_t new_cid = ++last_cid_;
        Note("allocate service " + std::to_string(v[0]) + ": cid " + std::to_string(new_cid));
        body = Result(0, Tlv(0x01, {v[0], new_cid}));
      } else if (id == 0x0023 && FindTlv(tlvs, 0x01, &v) && v.size() == 2) {
        Note("release service " + std::to_string(v[0]) + " cid " + std::to_string(v[1]));
        body = Result(0, Tlv(0x01, v));
      } else {
        Note("ctl " + std::to_string(id));
        body = Result(0x1E);  // invalid QMI command
      }
    } else if (id == 0x0022) {
      Note("status cid " + std::to_string(cid));
      body = Result(0, Tlv(0x01, {static_cast<uint8_t>(up_ ? 2 : 1)}));
    } else if (id == 0x0020) {
      Note("start apn=" + Text(tlvs, 0x14) + " user=" + Text(tlvs, 0x17) + " password=" + Text(tlvs, 0x18));
      up_ = true;
      body = Result(0, Tlv(0x01, {0x4D, 0x3C, 0x2B, 0x1A}));
    } else if (id == 0x0021 && FindTlv(tlvs, 0x01, &v) && v.size() == 4) {
      const uint32_t handle = v[0] | v[1] << 8 | v[2] << 16 | static_cast<uint32_t>(v[3]) << 24;
      Note("stop handle=" + std::to_string(handle));
      const bool known = up_ && handle == kHandle;
      up_ = up_ && !known;
      body = Result(known ? 0 : 0x09);  // invalid handle
    } else {
      Note("service " + std::to_string(service) + " message " + std::to_string(id));
      body = Result(0x1E);
    }
    // The answer: QMUX header from the service, then the response's SDU.
    Bytes out = {0x01, 0, 0, 0x80, service, cid};
    out.insert(out.end(), {static_cast<uint8_t>(ctl ? 0x01 : 0x02), f[7]});  // response, same transaction
    if (!ctl) out.push_back(f[8]);
    Put16(&out, id);
    Put16(&out, static_cast<unsigned>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    out[1] = static_cast<uint8_t>((out.size() - 1) & 0xFF);
    out[2] = static_cast<uint8_t>((out.size() - 1) >> 8);
    if (send(client_, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size())) Note("answer not sent");
  }

  void Note(const std::string& line) {
    std::lock_guard<std::mutex> lock(mu_);
    seen_.push_back(line);
  }

  std::atomic<bool> stop_{false};
  std::atomic<bool> drop_{false};
  int listen_ = -1;
  int client_ = -1;  // the serving thread's, once it runs
  bool up_ = false;  // the serving thread's
  uint8_t last_cid_ = 0;
  std::thread thread_;
  std::mutex mu_;
  std::vector<std::string> seen_;
};

}  // namespace testmodem
