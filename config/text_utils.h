// Splitting of command and file lines, UCS2 hexadecimal text, phone match.
#pragma once

#include <cstdint>

#include "config/config_data.h"

/// Cuts `text` at the first `delimiter`; `*rest` gets what follows it, or
/// null when there is no delimiter or nothing after it.
char* get_next_str(char* text, char** rest, char delimiter);
/// get_next_str with ";".
char* get_entry(char* text, char** rest);
/// Upper-case hexadecimal of `len` bytes (at most 161); `out` holds 323.
void Hex2HexStr(char* out, const char* bytes, int len);
/// Pairs of hexadecimal digits to bytes; `out` always receives 161 bytes.
void HexStr2Hex(const char* text, char* out);
/// 1 when an entry of the 10-entry list holds the sender's last six
/// characters. An empty sender never matches; one shorter than six
/// characters matches only an entry equal to it; empty entries never match.
int phone_number_chk(const char* phone, const char (*list)[kPhoneSize]);
