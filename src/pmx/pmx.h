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

// Shared by the reader and the writer (model_store.cpp).
#include <cstdint>

// Fields of the PMX 2.0 format that decide how many bytes follow.
enum PmxBoneFlag {
  PMX_BONE_TAIL_IS_BONE = 0x0001,   // tail given as a bone index, else as an offset
  PMX_BONE_IK = 0x0020,
  PMX_BONE_INHERIT_ROTATION = 0x0100,
  PMX_BONE_INHERIT_MOVE = 0x0200,
  PMX_BONE_FIXED_AXIS = 0x0400,
  PMX_BONE_LOCAL_AXES = 0x0800,
  PMX_BONE_EXTERNAL_PARENT = 0x2000,
};
enum PmxMorphKind {
  PMX_MORPH_GROUP = 0,
  PMX_MORPH_VERTEX = 1,
  PMX_MORPH_BONE = 2,
  PMX_MORPH_UV = 3,
  PMX_MORPH_UV1 = 4,
  PMX_MORPH_UV2 = 5,
  PMX_MORPH_UV3 = 6,
  PMX_MORPH_UV4 = 7,
  PMX_MORPH_MATERIAL = 8,
  PMX_MORPH_FLIP = 9,
  PMX_MORPH_IMPULSE = 10,
  PMX_MORPH_KIND_COUNT = 11,
};
enum PmxDeform { PMX_DEFORM_BDEF1 = 0, PMX_DEFORM_BDEF2 = 1, PMX_DEFORM_BDEF4 = 2, PMX_DEFORM_SDEF = 3, PMX_DEFORM_QDEF = 4 };
struct NameBuffer;
// Reads up to n input bytes (rfread).
int32_t pmx_read(void* dst, int32_t n);
// Steps over up to n input bytes without reading them; returns how many
// there were (rfskip: a count past the end ends the input there).
int64_t pmx_skip(int64_t n);
// Reads a text field into the buffer (first 254 bytes, then two zero bytes);
// returns the declared length. A negative length reads nothing. Without
// skipRest the bytes past the kept ones stay unread, for the writer to copy.
int32_t pmx_read_text(NameBuffer* nb, bool skipRest = true);
// The same into a buffer of size bytes keeping at most keep (size >= keep + 3).
int32_t pmx_read_text_into(char* bytes, int32_t keep, int32_t size);
// A name as read (UTF-16LE when encoding is 0, else UTF-8) in Shift-JIS.
void pmx_name_to_sjis(char* dst, int cap, unsigned char encoding, const char* text);
// UTF-16LE bytes up to a zero unit into a wide string, cut to cap - 1 units.
void pmx_utf16le_to_wide(char16_t* dst, int cap, const char* text);
