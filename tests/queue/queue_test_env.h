// An empty SMS queue and free mailboxes for every test, a temporary board
// root for the journal, and a stand-in for the modem thread that answers
// each hand-over with a scripted verdict.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/side_files.h"
#include "log/log_ring.h"
#include "log/log_store.h"
#include "modem/sms_transport.h"
#include "modem/modem_state.h"
#include "platform/paths.h"
#include "queue/sms_queue.h"
#include "support/firmware_process.h"

namespace testqueue {

/// Waits (polling) until `done` holds; false after `timeout`.
template <typename F>
bool WaitFor(F done, std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

inline void ResetQueue() {
  evt_in = 0;
  evt_out = 0;
  for (auto& e : sms_evt) {
    e.status = 0;
    e.phone_idx = 0;
    e.phone_n = 0;
  }
  is_send_sms = 0;
  send_sms_status = 0;
  is_new_sms = 0;
}

inline sms_msg Body(const std::string& text, uint8_t mode = 0) {
  sms_msg m;
  std::memset(&m, 0, sizeof m);
  size_t n = text.size() < 160 ? text.size() : 160;
  std::memcpy(m.msg, text.data(), n);
  m.msg_len = static_cast<uint8_t>(text.size() > 255 ? 255 : text.size());
  m.sms_mode = mode;
  return m;
}

/// A phone list in the layout of the queue's slots.
struct Phones {
  explicit Phones(const std::vector<std::string>& numbers) {
    for (size_t i = 0; i < numbers.size() && i < 16; ++i) {
      std::strncpy(slot[i], numbers[i].c_str(), kPhoneSize);  // a 20-digit number keeps no zero
    }
    count = static_cast<int>(numbers.size());
  }
  char slot[16][kPhoneSize] = {};
  int count = 0;
};

/// Plays the modem thread's side of the send mailbox: takes each message,
/// frees the mailbox and then publishes the verdict scripted for its number
/// (3 when none is left).
class FakeModemThread {
 public:
  FakeModemThread() : thread_([this] { Run(); }) {}
  ~FakeModemThread() {
    stop_ = true;
    thread_.join();
  }
  void Script(const std::string& phone, std::vector<int32_t> verdicts) {
    std::lock_guard<std::mutex> lock(mu_);
    for (int32_t v : verdicts) script_[phone].push_back(v);
  }
  std::vector<std::string> Attempts() {
    std::lock_guard<std::mutex> lock(mu_);
    return attempts_;
  }
  std::vector<std::string> Bodies() {
    std::lock_guard<std::mutex> lock(mu_);
    return bodies_;
  }

 private:
  void Run() {
    while (!stop_) {
      if (is_send_sms == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      send_sms_status = kSmsSendSending;
      const sms_msg job = send_sms;
      int32_t verdict = kSmsSendDone;
      {
        std::lock_guard<std::mutex> lock(mu_);
        attempts_.push_back(job.phone);
        bodies_.push_back(std::string(job.msg, job.msg_len));
        auto& list = script_[job.phone];
        if (!list.empty()) {
          verdict = list.front();
          list.pop_front();
        }
      }
      is_send_sms = 0;
      send_sms_status = verdict;
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::map<std::string, std::deque<int32_t>> script_;
  std::vector<std::string> attempts_;
  std::vector<std::string> bodies_;
  std::thread thread_;
};

class QueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetRoot(root_.path());
    root_.Write("APP/.keep", "");
    LogInit();
    ResetQueue();
  }
  void TearDown() override {
    ResetQueue();
    LogInit();
    platform::SetRoot("");
  }
  std::vector<std::string> JournalLines() const {
    std::vector<std::string> lines;
    std::string all = root_.Read("APP/sms_log.ini");
    size_t start = 0;
    for (size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(all.substr(start, end - start));
    }
    return lines;
  }

  testsupport::TempDir root_;
};

}  // namespace testqueue
