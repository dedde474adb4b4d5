// Readers of the SIM7100's answers to the supervisor's polls. Each one looks
// at the whole text that arrived within a command's wait (echo, unsolicited
// lines and the final result included) and finds its value by plain
// substring search. Pure functions: no I/O, no state; every field is cut
// into a bounded buffer, however long or garbled the answer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modem/at_fields.h"

/// Most storage places the receive scan walks, whatever the module claims:
/// a garbled total must not hold the modem thread for hours.
constexpr int kMaxStoragePlaces = 500;
/// Fields of a "+CGPSINFO: " answer, in order.
constexpr int kGpsFieldCount = 9;
enum GpsField {
  kGpsLatitude = 0,
  kGpsNorthSouth,
  kGpsLongitude,
  kGpsEastWest,
  kGpsDate,
  kGpsUtcTime,
  kGpsAltitude,
  kGpsSpeed,
  kGpsCourse,
};
/// Size of the published RMC sentence.
constexpr int kGprmcSize = 200;

/// AT+CPIN? answers, by the first text found: "+CPIN: READY", "SIM PIN",
/// "SIM failure" (also not usable, but counted towards the reboot), anything
/// else.
enum class CpinAnswer { kReady, kPinWanted, kSimFailure, kNotUsable };
CpinAnswer ParseCpinQuery(const char* answer);

/// AT+CREG?: the state number after the comma of a "+CREG: " line. False
/// (value untouched) when no such line with a comma and a number is there.
bool ParseCregQuery(const char* answer, int32_t* stat);

/// AT+CSQ: the quality number between "+CSQ: " and the next ",". False
/// (value untouched) without it.
bool ParseCsqExec(const char* answer, int32_t* rssi);

/// AT+SIMEI?: the text after "+SIMEI: " up to CR, at most `size` - 1
/// characters (the IMEI area holds 15). False without it.
bool ParseSimeiQuery(const char* answer, char* imei, size_t size);

/// AT+CGPSINFO: the nine comma-separated fields after "+CGPSINFO: " (the
/// last one ends at CR), each cut to 19 characters; fields that are not
/// there stay empty. False (nothing parsed) without the prefix.
struct GpsInfo {
  char field[kGpsFieldCount][kAtFieldSize];
};
bool ParseCgpsinfoExec(const char* answer, GpsInfo* info);

/// The RMC sentence the device publishes for a GPS answer: a void sentence
/// without a latitude, else the fix with the fixed check text "*70".
/// Returns 1 for a fix, 0 for none (the value of gps_flag).
int FormatGprmc(const GpsInfo& info, char* out, size_t size);

/// AT+CPMS?: the used count and the total of the first storage (the numbers
/// after the first and second comma). False (both 0) without a parsable
/// used count; the total is capped at kMaxStoragePlaces.
bool ParseCpmsQuery(const char* answer, int* used, int* total);

/// Where the first final result code of an answer ends: the offset just past
/// the first line that is "OK", "ERROR", "+CMS ERROR: ..." or "+CME ERROR:
/// ..." (past its line end when that has come), or 0 when none has come yet.
/// The module sends nothing for a command after its final result code.
size_t FinalResultEnd(const char* answer);

/// The answer after the PDU of AT+CMGS, read up to its first final result
/// code: confirmed when a "+CMGS:" line comes before a final "OK", refused by
/// any other final result code (an "OK" before the "+CMGS:" included), no
/// verdict yet without one. `end` (may be null) gets FinalResultEnd: what
/// follows it answers nothing of this message.
enum class CmgsAnswer { kConfirmed, kRefused, kNoVerdict };
CmgsAnswer ParseCmgsAnswer(const char* answer, size_t* end);
/// True when ParseCmgsAnswer finds the message confirmed.
bool IsCmgsConfirmed(const char* answer);
/// The first "+CMGS: " line at or after `from`, or null: the network's
/// confirmation of a submitted message. `line` gets the line, cut to fit.
const char* FindCmgsLine(const char* from, char* line, size_t size);

/// One stored message's answer to AT+CMGRD within a text: the header line
/// "+CMGRD: <stat>,[<alpha>],<length>" and the first whole line of
/// hexadecimal digits after it (empty lines and unsolicited lines between
/// the two are passed over).
struct CmgrdAnswer {
  /// The PDU line (ended by its CR), or null when the answer came to an
  /// end without one (a garbled header, or a final result code first).
  const char* pdu = nullptr;
  /// Where the header begins.
  const char* header = nullptr;
  /// Where the search for the next answer goes on.
  const char* next = nullptr;
};
/// kNone: no header at or after `from`. kIncomplete: a header whose PDU
/// line has not come whole yet (`header` says where it begins).
enum class CmgrdFind { kNone, kFound, kIncomplete };
CmgrdFind FindCmgrdAnswer(const char* from, CmgrdAnswer* answer);
