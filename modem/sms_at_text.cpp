// The AT texts of one message: the sending text for AT+CMGS and the reading
// of an AT+CMGRD answer.
#include <cstdio>
#include <cstring>

#include "modem/at_answers.h"
#include "modem/pdu_codec.h"
#include "modem/sms_transport.h"

int gmSMS_SendMsg(const sms_msg* msg, char* out) {
  out[0] = '\0';
  pdu_param param;
  std::memset(&param, 0, sizeof param);
  // A number that does not fit the codec's address field is refused whole:
  // sending to a cut number would reach a stranger.
  size_t phone_len = strnlen(msg->phone, sizeof msg->phone);
  if (phone_len >= sizeof param.TPA) return 0;
  std::memcpy(param.TPA, msg->phone, phone_len);
  param.TP_PID = 0;
  param.TP_DCS = msg->sms_mode;
  int limit = gsmDcsCoding(msg->sms_mode) == kCodingGsm7 ? kPduMaxSeptets : kPduMaxOctets;
  int n = msg->msg_len < limit ? msg->msg_len : limit;
  std::memcpy(param.TP_UD, msg->msg, static_cast<size_t>(n));
  param.TP_UDL = static_cast<uint8_t>(n);
  param.TOA = kToaUnknown;

  char pdu[kPduTextSize];
  int tpdu_len = gsmEncodePdu(&param, pdu);
  if (tpdu_len < 0) return 0;
  std::snprintf(out, kSmsSendTextSize, "AT+CMGS=%d\r%s%c", tpdu_len, pdu, 0x1A);
  return 1;
}

int gmSMS_getReadMsg(const char* answer, sms_msg* msg) {
  if (answer == nullptr || msg == nullptr) return 0;
  // "+CMGRD: <stat>,[<alpha>],<length>\r\n<pdu>"; the alpha field may be
  // empty or "", and the length is not needed: the PDU carries its own.
  CmgrdAnswer found;
  if (FindCmgrdAnswer(answer, &found) != CmgrdFind::kFound || found.pdu == nullptr) return 0;
  return DecodeDeliverPdu(found.pdu, msg);
}

int DecodeDeliverPdu(const char* pdu, sms_msg* msg) {
  if (pdu == nullptr || msg == nullptr) return 0;
  pdu_param param;
  if (gsmDecodePdu(pdu, &param) < 0) return 0;

  std::memset(msg, 0, sizeof *msg);
  // An originator of international type (0x91; the numbering plan bits do
  // not matter) keeps its "+": a reply then goes out as international too,
  // instead of to a national number that does not exist.
  size_t at = 0;
  if ((param.TOA & 0x70) == (kToaInternational & 0x70)) msg->phone[at++] = '+';
  size_t phone_len = strnlen(param.TPA, sizeof param.TPA - 1);
  static_assert(sizeof param.TPA < sizeof msg->phone, "room for the + and the number");
  std::memcpy(msg->phone + at, param.TPA, phone_len);
  int n = param.TP_UDL > kSmsBodyMax ? kSmsBodyMax : param.TP_UDL;
  std::memcpy(msg->msg, param.TP_UD, static_cast<size_t>(n));
  msg->msg_len = static_cast<uint8_t>(n);
  // The rest of the system knows three codings; a class or message waiting
  // indication in the coding byte is no concern of it.
  msg->sms_mode = gsmDcsCoding(param.TP_DCS);
  return 1;
}
