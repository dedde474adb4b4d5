"""Cross-check of the firmware's PDU codec against python-gammu.

  pdu_gammu_check.py decode-submit FILE
      FILE holds one SMS-SUBMIT PDU (hex) per line, as the firmware encoded
      them. Prints one line per PDU:
        ok <TAB> number <TAB> coding <TAB> septets-or-octets <TAB> data-hex
      where coding is 0, 8 or 4 and, for 7-bit text, data-hex is the text in
      the firmware's ISO-8859-1 convention; or "error <TAB> reason".

  pdu_gammu_check.py make-deliver SEED COUNT
      Prints COUNT random SMS-DELIVER PDUs made by gammu, one per line:
        pdu-hex <TAB> centre <TAB> originator <TAB> coding <TAB> data-hex <TAB> time stamp
      with the fields as the firmware should decode them (digits without
      "+", 7-bit text in ISO-8859-1, time stamp as 14 digits).

Run with the system python (/usr/bin/python3), which has the gammu module.
"""
import binascii
import datetime
import random
import sys

import gammu

# The GSM default alphabet as Unicode, and the extension characters the
# firmware maps to ISO-8859-1.
BASIC = ("@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞ\x1bÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
         "¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà")
EXTENSION = "\f^{}\\[~]|€"
# Characters without an ISO-8859-1 counterpart keep their GSM code.
OWN_CODE = {ch: BASIC.index(ch) for ch in "ΔΦΓΛΩΠΨΣΘΞ"}


def to_firmware_iso(text):
    out = bytearray()
    for ch in text:
        if ch in OWN_CODE:
            out.append(OWN_CODE[ch])
        elif ch == "€":
            out.append(0xA4)
        else:
            out.append(ord(ch))
    return bytes(out)


def septet_prefix(text, septets):
    """The characters of a decoded 7-bit text that fill `septets` codes.

    python-gammu returns as many characters as the length octet announces,
    even when escape pairs made the text shorter; the rest is filler.
    """
    used = 0
    out = []
    for ch in text:
        if used >= septets:
            break
        used += 2 if ch in EXTENSION else 1
        out.append(ch)
    return "".join(out)


def decode_submit(path):
    with open(path, encoding="ascii") as f:
        for line in f:
            line = line.strip()
            try:
                sms = gammu.DecodePDU(binascii.unhexlify(line), SMSC=True)
            except Exception as e:  # one bad PDU must not hide the others
                print("error\t%s" % e)
                continue
            coding, length = sms["Coding"], sms["Length"]
            if coding == "Default_No_Compression":
                text = septet_prefix(sms["Text"], sms["Length"])
                data, dcs = to_firmware_iso(text), 0
            elif coding == "Unicode_No_Compression":
                data, dcs = sms["Text"].encode("utf-16-be", "surrogatepass"), 8
                length *= 2  # gammu counts UCS2 in characters
            elif coding == "8bit":
                data, dcs = bytes(sms["Text"]), 4
            else:
                print("error\tcoding %s" % coding)
                continue
            print("ok\t%s\t%d\t%d\t%s" % (sms["Number"], dcs, length,
                                         binascii.hexlify(data).decode().upper()))


def random_digits(rng, lo, hi):
    return "".join(rng.choice("0123456789") for _ in range(rng.randint(lo, hi)))


def random_gsm_text(rng):
    chars, septets = [], 0
    limit = rng.choice([0, 1, 7, 8, 9, 60, 159, 160])
    while True:
        ch = rng.choice(EXTENSION) if rng.random() < 0.15 else rng.choice(BASIC.replace("\x1b", ""))
        need = 2 if ch in EXTENSION else 1
        if septets + need > limit:
            return "".join(chars)
        chars.append(ch)
        septets += need


def random_ucs2(rng):
    units = []
    for _ in range(rng.randint(0, 70)):
        # No zero unit (gammu ends its strings there), no surrogates, and no
        # "~", which gammu turns into the unit 0x0001 and back.
        units.append(rng.choice([rng.randint(0x20, 0x7D), rng.randint(0x80, 0xFF),
                                 rng.randint(0x100, 0xD7FF), rng.randint(0xE000, 0xFFFD)]))
    return "".join(chr(u) for u in units)


def make_deliver(seed, count):
    rng = random.Random(seed)
    # A decoded message is the most complete template of the record gammu wants.
    template = gammu.DecodePDU(binascii.unhexlify(
        "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"), SMSC=True)
    for _ in range(count):
        sms = dict(template)
        centre = random_digits(rng, 5, 15)
        digits = random_digits(rng, 1, 15)
        international = rng.random() < 0.5
        stamp = datetime.datetime(rng.randint(2000, 2069), rng.randint(1, 12), rng.randint(1, 28),
                                  rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59))
        kind = rng.choice(["7bit", "7bit", "ucs2", "8bit"])
        if kind == "7bit":
            text = random_gsm_text(rng)
            sms["Coding"], sms["Text"], dcs, data = "Default_No_Compression", text, 0, to_firmware_iso(text)
        elif kind == "ucs2":
            text = random_ucs2(rng)
            sms["Coding"], sms["Text"], dcs = "Unicode_No_Compression", text, 8
            data = text.encode("utf-16-be")
        else:
            data = bytes(rng.randint(0, 255) for _ in range(rng.randint(0, 140)))
            sms["Coding"], sms["Text"], dcs = "8bit", data, 4
        sms["Number"] = ("+" if international else "") + digits
        sms["SMSC"] = dict(template["SMSC"], Number="+" + centre)
        sms["DateTime"] = stamp
        sms["Class"] = -1
        pdu = gammu.EncodePDU(sms, Layout="Deliver")
        print("%s\t%s\t%s\t%d\t%s\t%s00" % (binascii.hexlify(pdu).decode().upper(), centre, digits, dcs,
                                            binascii.hexlify(data).decode().upper(),
                                            stamp.strftime("%y%m%d%H%M%S")))


def main(argv):
    if len(argv) == 3 and argv[1] == "decode-submit":
        decode_submit(argv[2])
    elif len(argv) == 4 and argv[1] == "make-deliver":
        make_deliver(int(argv[2]), int(argv[3]))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
