// Any input as a received PDU (gsmDecodePdu) and as a sent one
// (gsmDecodeSubmitPdu): each must give a bounded record or -1, never read
// past the text or write past the record. Each input is tried twice: as
// the hexadecimal text itself, and as raw octets turned into hex (which
// reaches the deeper fields far more often).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "modem/pdu_codec.h"

namespace {

void CheckRecord(const pdu_param& p, int n) {
  if (n < 0) abort();
  if (strnlen(p.SCA, sizeof(p.SCA)) > 15 || strnlen(p.TPA, sizeof(p.TPA)) > 15 ||
      strnlen(p.TP_SCTS, sizeof(p.TP_SCTS)) > 14) {
    abort();
  }
  if (gsmDcsCoding(p.TP_DCS) == kCodingGsm7) {
    if (p.TP_UDL > kPduMaxSeptets || n > p.TP_UDL) abort();
    if (strnlen(p.TP_UD, sizeof(p.TP_UD)) != static_cast<size_t>(n)) abort();
  } else if (p.TP_UDL > kPduMaxOctets || n != p.TP_UDL) {
    abort();
  }
}

void Check(const char* text) {
  pdu_param p;
  int n = gsmDecodePdu(text, &p);
  if (n != -1) CheckRecord(p, n);
  SubmitFields f;
  n = gsmDecodeSubmitPdu(text, &p, &f);
  if (n == -1) return;
  // The destination may carry a "+" before its 15 digits.
  if (strnlen(p.TPA, sizeof(p.TPA)) > 16 || f.validity_octets > 7 || f.tpdu_octets < 1) abort();
  p.TPA[0] = '\0';
  CheckRecord(p, n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly sized copies, so that a read past the terminator is caught.
  std::unique_ptr<char[]> text(new char[size + 1]);
  std::memcpy(text.get(), data, size);
  text[size] = '\0';
  Check(text.get());

  const size_t octets = size < 200 ? size : 200;
  std::unique_ptr<char[]> hex(new char[2 * octets + 1]);
  gsmBytes2String(data, hex.get(), static_cast<int>(octets));
  Check(hex.get());
  return 0;
}
