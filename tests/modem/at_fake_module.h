// A scripted SIM7100 behind the AT channel interface, for running whole modem
// passes without their seconds of waiting. It answers the way the module's
// manual and field captures show (echo on, "\r\n<info>\r\n\r\nOK\r\n"), keeps
// a message store that AT+CMGRD empties, and records every command with its
// wait and every pause.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "modem/at_channel.h"

namespace testmodem {

class FakeModule final : public AtChannel {
 public:
  struct Exchange {
    std::string command;
    int wait_ms;
  };

  // The module's state, as the answers show it.
  bool echo = true;
  std::string cpin = "+CPIN: READY";  // a "+CME ERROR: ..." line has no OK
  std::string creg = "+CREG: 0,1";
  std::string csq = "+CSQ: 22,0";
  std::string gps = "+CGPSINFO: ,,,,,,,,";
  std::string gmm = "SIMCOM_SIM7100C";
  std::string imei = "357396012183170";
  std::map<int, std::string> store;  // index -> SMS-DELIVER PDU
  int store_total = 50;
  std::string cmgs_prompt = "\r\n> ";
  std::string cmgs_result = "\r\n+CMGS: 46\r\n\r\nOK\r\n";
  /// Whole answers (echo not added) for given commands, taking precedence.
  std::map<std::string, std::string> overrides;

  // What the firmware did.
  std::vector<Exchange> exchanges;
  std::vector<int> pauses;
  std::vector<std::string> submitted;  // PDUs sent with AT+CMGS

  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const auto& e : exchanges) out.push_back(e.command);
    return out;
  }
  int Count(const std::string& command) const {
    int n = 0;
    for (const auto& e : exchanges) n += e.command == command ? 1 : 0;
    return n;
  }
  int CountPrefix(const std::string& prefix) const {
    int n = 0;
    for (const auto& e : exchanges) n += e.command.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return n;
  }

  std::string Answer(const std::string& command) {
    auto it = overrides.find(command);
    if (it != overrides.end()) return it->second;
    std::string echoed = command;
    if (!echoed.empty() && echoed.back() == '\n') echoed.pop_back();
    std::string prefix = echo ? echoed : "";
    return prefix + Reply(command);
  }

 private:
  static std::string Info(const std::string& line) { return "\r\n" + line + "\r\n\r\nOK\r\n"; }
  static std::string Ok() { return "\r\nOK\r\n"; }

  std::string Reply(const std::string& c) {
    if (c == "ATI\r\n") {
      return Info("Manufacturer: SIMCOM INCORPORATED\r\nModel: " + gmm + "\r\nRevision: 4534B03SIM7100C\r\nIMEI: " +
                  imei + "\r\n+GCAP: +CGSM,+DS,+ES");
    }
    if (c == "AT+GMM\r\n") return Info(gmm);
    if (c == "AT+SIMEI?\r\n") return Info("+SIMEI: " + imei);
    if (c == "AT+CGPS?\r\n") return Info("+CGPS: 1,1");
    if (c == "AT+CPIN?\r\n") {
      return cpin.compare(0, 4, "+CME") == 0 ? "\r\n" + cpin + "\r\n" : Info(cpin);
    }
    if (c == "AT+CREG?\r\n") return Info(creg);
    if (c == "AT+CSQ\r\n") return Info(csq);
    if (c == "AT+CNSMOD?\r\n") return Info("+CNSMOD: 0,4");
    if (c == "AT+CGPSINFO\r\n") return Info(gps);
    if (c == "AT+CPMS?\r\n") {
      std::string u = std::to_string(store.size()) + "," + std::to_string(store_total);
      return Info("+CPMS: \"SM\"," + u + ",\"SM\"," + u + ",\"SM\"," + u);
    }
    if (c.compare(0, 9, "AT+CMGRD=") == 0) {
      int index = std::atoi(c.c_str() + 9);
      if (index >= store_total) return "\r\n+CMS ERROR: 321\r\n";
      auto it = store.find(index);
      if (it == store.end()) return Ok();
      std::string pdu = it->second;
      store.erase(it);  // read and delete
      return "\r\n+CMGRD: 0,," + std::to_string(pdu.size() / 2) + "\r\n" + pdu + "\r\n\r\nOK\r\n";
    }
    if (c.compare(0, 8, "AT+CMGS=") == 0) return cmgs_prompt;
    if (!c.empty() && c.back() == 0x1A) {
      submitted.push_back(c.substr(0, c.size() - 1));
      return cmgs_result;
    }
    return Ok();  // CGPS=1, CMGD, CPIN=, CFUN
  }

  int DoWriteRead(const char* cmd, int len, char* response, int wait_ms) override {
    std::string command(cmd, static_cast<size_t>(len));
    exchanges.push_back({command, wait_ms});
    std::string answer = Answer(command);
    std::memset(response, 0, kAtResponseSize);
    size_t n = answer.size() < static_cast<size_t>(kAtResponseArea) ? answer.size() : kAtResponseArea;
    std::memcpy(response, answer.data(), n);
    return static_cast<int>(n);
  }
  int DoRead(char*, int) override { return 0; }
  void DoPause(int ms) override { pauses.push_back(ms); }
};

/// An SMS-DELIVER without centre address from an international originator
/// (4915112345678) with the 7-bit text "hello".
inline std::string HelloDeliverPdu() { return "00040D91945111325476F8000012703180510000" "05E8329BFD06"; }

}  // namespace testmodem
