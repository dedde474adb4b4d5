// An empty SMS queue and free mailboxes for every test (on the modem tests'
// temporary board root), and a stand-in for the modem thread that answers
// each hand-over with a scripted verdict.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
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

/// The user-log records waiting, oldest first, as "main,sub,modem info,phone";
/// takes them from the ring.
inline std::vector<std::string> TakeLogRecords() {
  std::vector<std::string> records;
  for (LogRecord rec; LogPeekOldest(&rec); LogPopIdx()) {
    records.push_back(std::string(rec.main_code) + "," + rec.sub_code + "," + std::to_string(rec.with_modem_info) +
                      "," + rec.phone);
  }
  return records;
}
/// The records of numbers given up, each "KIND,0,1,number".
inline std::vector<std::string> GiveUpRecords(const char* kind, const std::vector<std::string>& numbers) {
  std::vector<std::string> records;
  for (const std::string& n : numbers) records.push_back(kind + (",0,1," + n));
  return records;
}

/// A phone list in the layout of the queue's slots.
struct Phones {
  explicit Phones(const std::vector<std::string>& numbers) : count(static_cast<int>(numbers.size())) {
    for (size_t i = 0; i < numbers.size() && i < 16; ++i) std::strncpy(slot[i], numbers[i].c_str(), kPhoneSize);
  }
  char slot[16][kPhoneSize] = {};
  int count;
};

/// Plays the modem thread's side of a send mailbox: `take` finds a
/// hand-over (false: none), notes it and gives its number; the verdict
/// scripted for that number (3 when none is left) goes back through
/// `finish`, which frees the mailbox.
class ScriptedModemThread {
 public:
  using Take = std::function<bool(std::string* note, std::string* number)>;
  ScriptedModemThread(std::map<std::string, std::deque<int32_t>> script, Take take,
                      std::function<void(int32_t)> finish)
      : script_(std::move(script)), take_(std::move(take)), finish_(std::move(finish)) {}
  ~ScriptedModemThread() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::string> Notes() {
    std::lock_guard<std::mutex> lock(mu_);
    return notes_;
  }

 private:
  void Run() {
    for (std::string note, number; !stop_; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
      if (!take_(&note, &number)) continue;
      int32_t verdict = 3;
      {
        std::lock_guard<std::mutex> lock(mu_);
        notes_.push_back(note);
        auto& list = script_[number];
        if (!list.empty()) {
          verdict = list.front();
          list.pop_front();
        }
      }
      finish_(verdict);
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::map<std::string, std::deque<int32_t>> script_;
  std::vector<std::string> notes_;
  Take take_;
  std::function<void(int32_t)> finish_;
  std::thread thread_{[this] { Run(); }};
};

/// The SMS mailbox's stand-in: notes each message as "number:body".
struct FakeModemThread : ScriptedModemThread {
  explicit FakeModemThread(std::map<std::string, std::deque<int32_t>> script = {})
      : ScriptedModemThread(
            std::move(script),
            [](std::string* note, std::string* number) {
              if (is_send_sms == 0) return false;
              send_sms_status = kSmsSendSending;
              *number = send_sms.phone;
              *note = *number + ":" + std::string(send_sms.msg, send_sms.msg_len);
              return true;
            },
            [](int32_t verdict) {
              is_send_sms = 0;
              send_sms_status = verdict;
            }) {}
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
