// Code pages that unpackers read archived file names with (generated data in
// codepage_tables.cpp by tools/gen_codepage_tables.py).
#pragma once
#include <cstdint>

enum { CODEPAGE_437 = 0, CODEPAGE_850 = 1, CODEPAGE_1252 = 2, CODEPAGE_SBCS_COUNT = 3 };

// The character a byte reads as in a single-byte code page; every byte has
// one (cp1252's undefined bytes read as the C1 control of the same value,
// as Windows reads them). 0 only for byte 0 or an unknown code page.
uint16_t sbcs_to_uni(int codePage, unsigned char b);

// Code page 932 as Windows reads it (NEC and IBM extensions, user area as
// U+E000...): a single byte (code < 0x100) or lead << 8 | trail. 0 when the
// code has no character (lead bytes alone, unassigned pairs).
uint16_t cp932_to_uni(uint32_t code);
