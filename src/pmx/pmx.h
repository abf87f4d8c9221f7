// Reading, writing and the twist-axis check of a PMX model.
#pragma once

// 0 read (to its end), -1 not opened, 2 not a PMX header, 3 stopped at a section error.
int pmdinforead(const char* path);
int pmdinforeadW(const char16_t* path);
// 0 written; -1 source or output not opened, or any write failure (the output is removed).
int pmdinfowrite(const char* outPath, const char* srcPath);
int pmdinfowriteW(const char16_t* outPath, const char16_t* srcPath);
// Sets the twist mismatch flags from armRef / twistRef; returns how many are set.
int twist_check();
