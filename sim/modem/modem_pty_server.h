// Serves a modem model on the master side of a pseudo-terminal from a
// background thread, so that a test can run the firmware's modem code (or
// anything that opens a serial device) against the simulated module in its
// own process:
//
//   sim::Sim7100Model model;           // registered, SIM ready, signal 22
//   sim::ModemPtyServer server(model);
//   std::string error;
//   ASSERT_TRUE(server.Open(&error)) << error;
//   // link ROOT/dev/smd8 to server.device(), or open it directly
//   server.Control("sms from +393331234567 hello");   // any module `ctl` command
//   int used = server.WithModel([&] { return model.store().used(); });
//   server.Stop();                     // the destructor stops it too
//
// The thread sleeps in poll until the device has bytes or the model's next
// answer is due; the model is touched only under the server's lock, so
// Control and WithModel may be called from any thread while it runs.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/control/json.h"
#include "sim/modem/modem_model.h"
#include "sim/modem/modem_port.h"
#include "sim/run/pty_pair.h"
#include "sim/control/reply.h"

namespace sim {

class ModemPtyServer {
 public:
  explicit ModemPtyServer(ModemModel& model) : model_(model) {}
  ~ModemPtyServer() { Stop(); }
  ModemPtyServer(const ModemPtyServer&) = delete;
  ModemPtyServer& operator=(const ModemPtyServer&) = delete;

  /// Opens a fresh pseudo-terminal (its slave side held open and raw, so
  /// users may open and close it at will) and serves the model on it.
  bool Open(std::string* error);
  /// The device to open: the slave side of the terminal made by Open.
  const std::string& device() const { return device_; }

  /// Serves the model on a master side the caller owns (made non-blocking
  /// here). The caller keeps a slave descriptor open while serving, or the
  /// line hangs up between users.
  bool Start(int master_fd, std::string* error);
  /// Ends the thread; idempotent.
  void Stop();
  bool running() const { return thread_.joinable(); }

  /// A control command for the module, as `qrv806-sim ctl` takes it
  /// (e.g. "sim pin 1234", "net none", "outbox").
  Reply Control(const std::string& line);
  /// The module's members of the state report.
  Json State();
  /// Runs `f` while the server leaves the model alone, and returns its result.
  template <typename F>
  auto WithModel(F&& f) -> decltype(f()) {
    struct Wake {
      ModemPtyServer* s;
      ~Wake() { s->Wake(); }  // the model's next deadline may have moved
    } wake{this};
    std::lock_guard<std::mutex> lock(mutex_);
    return f();
  }

 private:
  void Loop();
  void Wake();

  ModemModel& model_;
  std::unique_ptr<PtyPair> pty_;
  std::string device_;
  std::mutex mutex_;
  std::unique_ptr<ModemPort> port_;  // under mutex_
  int wake_fd_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace sim
