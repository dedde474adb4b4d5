// Any text as a module answer: every reader of the supervisor must give a
// bounded value or "not found", never read past the text or write past its
// buffers. The input is an exactly sized, terminated copy, so a read past
// the end is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "modem/at_answers.h"
#include "modem/at_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> text(new char[size + 1]);
  std::memcpy(text.get(), data, size);
  text[size] = '\0';
  const char* answer = text.get();

  ParseCpinQuery(answer);
  int32_t value = 0;
  if (ParseCregQuery(answer, &value) && (value < 0 || value > 999999999)) abort();
  if (ParseCsqExec(answer, &value) && (value < 0 || value > 999999999)) abort();

  char imei[16];
  if (ParseSimeiQuery(answer, imei, sizeof imei) && strnlen(imei, sizeof imei) > 15) abort();

  GpsInfo info;
  if (ParseCgpsinfoExec(answer, &info)) {
    for (const auto& field : info.field) {
      if (strnlen(field, sizeof field) > kAtFieldSize - 1) abort();
    }
  }
  char sentence[kGprmcSize];
  int fix = FormatGprmc(info, sentence, sizeof sentence);
  if ((fix != 0 && fix != 1) || strnlen(sentence, sizeof sentence) >= sizeof sentence) abort();

  int used = 0;
  int total = 0;
  ParseCpmsQuery(answer, &used, &total);
  if (used < 0 || total < 0 || total > kMaxStoragePlaces) abort();
  IsCmgsConfirmed(answer);
  size_t end = 0;
  ParseCmgsAnswer(answer, &end);
  if (end > size || FinalResultEnd(answer) > size) abort();
  char line[64];
  for (const char* p = FindCmgsLine(answer, line, sizeof line); p != nullptr; p = FindCmgsLine(p + 1, line, sizeof line)) {
    if (p < answer || p >= answer + size || strnlen(line, sizeof line) >= sizeof line) abort();
  }
  // Every stored message's answer in the text, each one found further on.
  CmgrdAnswer found;
  for (const char* p = answer; FindCmgrdAnswer(p, &found) == CmgrdFind::kFound; p = found.next) {
    if (found.next <= found.header || found.next > answer + size) abort();
    if (found.pdu != nullptr && (found.pdu < found.header || found.pdu >= found.next)) abort();
  }

  // The field cutters with every delimiter the dialogue uses.
  const char* delimiters[] = {"\r", ",", "\r\n"};
  for (const char* d : delimiters) {
    char field[kAtFieldSize];
    if (strcpyWithStr(field, answer, d) == 1 && strnlen(field, sizeof field) > kAtFieldSize - 1) abort();
  }
  char copy[32];
  int n = STRNCPY_CHR(copy, answer, sizeof copy, '\n');
  if (n < 0 || n >= static_cast<int>(sizeof copy)) abort();
  return 0;
}
