// An empty SMS queue and free mailboxes for every test (on the modem tests'
// temporary board root), and a stand-in for the modem thread that answers
// each hand-over with a scripted verdict.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <thread>

#include "base/log_ring.h"
#include "modem/modem_test_env.h"
#include "queue/sms_queue.h"

namespace testqueue {

inline void ResetQueue() {
  evt_in = evt_out = 0;
  for (auto& e : sms_evt) e.status = e.phone_idx = e.phone_n = 0;
  is_send_sms = send_sms_status = is_new_sms = 0;
}

inline sms_msg Body(const std::string& text, uint8_t mode = 0) { return testmodem::Message("", mode, text); }

/// A phone list in the layout of the queue's slots.
struct Phones {
  explicit Phones(const std::vector<std::string>& numbers) : count(static_cast<int>(numbers.size())) {
    for (size_t i = 0; i < numbers.size() && i < 16; ++i) std::strncpy(slot[i], numbers[i].c_str(), kPhoneSize);
  }
  char slot[16][kPhoneSize] = {};
  int count;
};

/// Plays the modem thread's side of the send mailbox: takes each message,
/// notes it as "number:body", frees the mailbox, then publishes the verdict
/// scripted for its number (3 when none is left).
class FakeModemThread {
 public:
  explicit FakeModemThread(std::map<std::string, std::deque<int32_t>> script = {}) : script_(std::move(script)) {}
  ~FakeModemThread() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::string> Sent() {
    std::lock_guard<std::mutex> lock(mu_);
    return sent_;
  }

 private:
  void Run() {
    for (; !stop_; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
      if (is_send_sms == 0) continue;
      send_sms_status = kSmsSendSending;
      int32_t verdict = kSmsSendDone;
      {
        std::lock_guard<std::mutex> lock(mu_);
        sent_.push_back(send_sms.phone + (":" + std::string(send_sms.msg, send_sms.msg_len)));
        auto& list = script_[send_sms.phone];
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
  std::vector<std::string> sent_;
  std::thread thread_{[this] { Run(); }};
};

class QueueTest : public testmodem::ModemTest {
 protected:
  void SetUp() override {
    testmodem::ModemTest::SetUp();
    root_.Write("APP/.keep", "");
    LogSetModemInfoSource(ReadModemLogInfo);
    ResetQueue();
  }
  void TearDown() override {
    ResetQueue();
    testmodem::ModemTest::TearDown();
  }
  /// The lines of the SMS journal without their last field, the time.
  std::vector<std::string> JournalLines() const {
    std::vector<std::string> lines;
    std::string all = root_.Read("APP/sms_log.ini");
    for (size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(all.substr(start, all.rfind('>', end) - start));
    }
    return lines;
  }
};

}  // namespace testqueue
