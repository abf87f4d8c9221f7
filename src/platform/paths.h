// Path pieces, relative paths, lead bytes, directory search. Every function
// takes its destination's capacity (units or bytes, terminator included) and
// never writes past it; an over-long result is cut (never inside a double-byte
// character in the Shift-JIS forms).
#pragma once
#include <cstdint>

enum { PATH_CAP = 260, PATHBUF_CAP = 520 };

int sjisleadbyte(unsigned char b);  // -1 for 0x80-0x9F and 0xE0-0xFC, else 0
// Bytes of the character at s in the ANSI code page: 2 for a lead byte (the
// system's test) followed by a byte, else 1.
int ansi_char_width(const char* s);

int headcmpiW(const char16_t* s, const char16_t* p);
int headcmpi(const char* s, const char* p);
int dirpartW(char16_t* dst, int cap, const char16_t* path);
int dirpart(char* dst, int cap, const char* path);
int namepartW(char16_t* dst, int cap, const char16_t* path);
int namepart(char* dst, int cap, const char* path);
int extpartW(char16_t* dst, int cap, const char16_t* path);  // -1 dot found, 0 none
int extpart(char* dst, int cap, const char* path);
int stripextW(char16_t* dst, int cap, const char16_t* path);
int stripext(char* dst, int cap, const char* path);
int striptailsepW(char16_t* path);
int striptailsep(char* path);
int relpathW(char16_t* dst, int cap, const char16_t* target, const char16_t* base);
int relpath(char* dst, int cap, const char* target, const char* base);
int findfileW(char16_t* dst, int cap, const char16_t* path);  // 0, -1 none, -2 folders only
int findfile(char* dst, int cap, const char* path);
// A path separator: Windows takes '/' as well as '\\'.
inline bool path_is_sep(char16_t c) { return c == u'\\' || c == u'/'; }
// The next name of a UTF-16 path from *at on, past separators ('\\' or '/')
// and "." names; true with its start and length, *at moved past it.
bool path_next_name(const char16_t* path, int* at, int* start, int* len);

// Bounded copy and append of Shift-JIS text: cut at cap-1 bytes, never
// between a lead byte and its trail. Return the length of the result.
int sjis_copy(char* dst, int cap, const char* src);
int sjis_append(char* dst, int cap, const char* src);

// Joins a folder and a path into dst (cap bytes/units); false, and dst empty,
// when the whole does not fit. dst may be the folder itself.
bool join_path(char* dst, int cap, const char* folder, const char* rest);
bool join_pathW(char16_t* dst, int cap, const char16_t* folder, const char16_t* rest);
