// The names an unpacker makes of a file name when it reads an archive with
// the wrong code page; the texture search matches them against the disk.
#pragma once

enum { MANGLE_CP437, MANGLE_CP850, MANGLE_CP1252, MANGLE_UTF8_AS_CP932, MANGLE_KINDS };
// In a mangled name: a byte cp932 reads as no character (any one character
// on disk matches it).
enum { MANGLE_ANY_UNIT = 0xFFFF };

// The name's cp932 bytes read as cp437, cp850 or cp1252, or its UTF-8 bytes
// read as cp932, into dst (cap units, terminator included). False when the
// name has no such form (not in cp932) or it does not fit dst.
bool link_mangle(int kind, const char16_t* name, int len, char16_t* dst, int cap);
