# python-gammu's side of the PDU cross-check (run with /usr/bin/python3).
#
# decode-submit FILE: reads one SMS-SUBMIT hex PDU a line and prints for each
#   "ok", number, coding, septets or octets, data hex (tab-separated), or an error.
# make-deliver SEED COUNT: prints random SMS-DELIVER PDUs made by gammu, each
#   with centre, originator, coding, data hex and time stamp as the firmware
#   should decode them.
import binascii
import datetime
import random
import sys

import gammu

BASIC = ("@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
         "¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà")  # without the escape
EXTENSION = "\f^{}\\[~]|€"
OWN_CODE = {ch: BASIC.index(ch) for ch in "ΔΦΓΛΩΠΨΣΘΞ"}  # no ISO-8859-1 counterpart: the GSM code
CODINGS = {"Default_No_Compression": 0, "Unicode_No_Compression": 8, "8bit": 4}


def to_iso(text):
    return bytes(OWN_CODE.get(ch, 0xA4 if ch == "€" else ord(ch)) for ch in text)


def hexa(data):
    return binascii.hexlify(data).decode().upper()


def decode_submit(path):
    for line in open(path, encoding="ascii"):
        try:
            sms = gammu.DecodePDU(binascii.unhexlify(line.strip()), SMSC=True)
        except Exception as e:  # one bad PDU must not hide the others
            print("error\t%s" % e)
            continue
        dcs, length, text = CODINGS[sms["Coding"]], sms["Length"], sms["Text"]
        if dcs == 0:
            # gammu returns as many characters as the length announces, even
            # when escape pairs made the text shorter: keep those that fill it.
            used, kept = 0, ""
            for ch in text:
                if used < length:
                    used, kept = used + (2 if ch in EXTENSION else 1), kept + ch
            data = to_iso(kept)
        else:
            data = text.encode("utf-16-be", "surrogatepass") if dcs == 8 else bytes(text)
            length = len(data)
        print("ok\t%s\t%d\t%d\t%s" % (sms["Number"], dcs, length, hexa(data)))


def make_deliver(seed, count):
    rng = random.Random(seed)
    digits = lambda lo, hi: "".join(rng.choice("0123456789") for _ in range(rng.randint(lo, hi)))
    template = gammu.DecodePDU(binascii.unhexlify(
        "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"), SMSC=True)
    for _ in range(count):
        sms, centre, number, plus = dict(template), digits(5, 15), digits(1, 15), rng.choice(["+", ""])
        if plus or number.startswith("00"):  # gammu takes a leading 00 for "+"; no country code starts with 0
            number = rng.choice("123456789") + number[1:]
        stamp = datetime.datetime(rng.randint(2000, 2069), rng.randint(1, 12), rng.randint(1, 28),
                                  rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59))
        dcs = rng.choice([0, 0, 8, 4])
        if dcs == 0:
            text, septets, limit = "", 0, rng.choice([0, 1, 7, 8, 9, 60, 159, 160])
            while True:
                ch = rng.choice(EXTENSION if rng.random() < 0.15 else BASIC)
                septets += 2 if ch in EXTENSION else 1
                if septets > limit:
                    break
                text += ch
            data = to_iso(text)
        elif dcs == 8:
            # No zero unit (gammu ends its strings there), no surrogates, no
            # "~" (gammu turns it into the unit 0x0001 and back).
            text = "".join(chr(rng.choice([rng.randint(0x20, 0x7D), rng.randint(0x80, 0xD7FF),
                                           rng.randint(0xE000, 0xFFFD)])) for _ in range(rng.randint(0, 70)))
            data = text.encode("utf-16-be")
        else:
            text = data = bytes(rng.randint(0, 255) for _ in range(rng.randint(0, 140)))
        sms.update(Coding=[c for c in CODINGS if CODINGS[c] == dcs][0], Text=text, Number=plus + number,
                   SMSC=dict(template["SMSC"], Number="+" + centre), DateTime=stamp, Class=-1)
        pdu = gammu.EncodePDU(sms, Layout="Deliver")
        print("%s\t%s\t%s\t%d\t%s\t%s00" % (hexa(pdu), centre, number, dcs, hexa(data), stamp.strftime("%y%m%d%H%M%S")))


if __name__ == "__main__":
    if sys.argv[1:2] == ["decode-submit"]:
        decode_submit(sys.argv[2])
    else:
        make_deliver(int(sys.argv[2]), int(sys.argv[3]))
