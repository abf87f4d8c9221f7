// The form in which a UTF-16 path reaches the system's file calls.
#pragma once

// From this length on an absolute path gets its \\?\ form: the length where
// the system's own limits start (folders stop at 248 units, files at 260).
enum { LONG_PATH_FROM = 248 };

// An absolute path (C:\... or \\server\share\...) of LONG_PATH_FROM units or
// more in its \\?\ form (\\?\C:\..., \\?\UNC\server\share\...). That form is
// taken literally, so the path is first put as the system would read it:
// '/' as '\', no repeated separators, "." and ".." resolved, the trailing dot
// of a folder name and the trailing dots and blanks of the path removed. Any
// other path (shorter, relative, already in a \\?\ or \\.\ form) is copied as
// it is. Writes at most cap units, terminator included; returns the units
// written without it, or -1 when the form does not fit (dst then empty).
int long_path_form(char16_t* dst, int cap, const char16_t* src);
