// The one print routine. Everything the program shows on the console goes
// through here, in code page 932 bytes; the POSIX seam turns them into UTF-8.
#pragma once
#include <cstddef>
#include <string>

// printf-like; returns the number of bytes formatted (cut at 64 KiB per call).
int con_printf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// puts-like: the text and a newline.
void con_puts(const char* text);
// Raw bytes, no formatting.
void con_write(const char* bytes, size_t n);
void con_flush();

// Tests: collect the bytes (before any conversion) instead of printing them.
void con_capture_begin();
std::string con_capture_end();
