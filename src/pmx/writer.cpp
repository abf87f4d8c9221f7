// pmdinfowrite: copies the source model to the output in one forward pass and
// puts new content in at the positions the reader recorded: the renewed
// texture table, the names of bones, morphs and display frames, and computed
// twist axes.
#include <cstring>

#include "platform/console.h"
#include "platform/file_io.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "pmx/model_store.h"
#include "pmx/pmx.h"
#include "encoding/codec.h"
#include "text/rename_rules.h"
#include "text/sjis.h"

namespace {

PmxModel& M = pmxModel;

enum { SJIS_CAP = PATHBUF_CAP, FILL_KEEP = 252 };
char jpName[SJIS_CAP];
char enName[SJIS_CAP];
char ruleResult[NAME_RESULT_CAP];
char fillName[NAME_RESULT_CAP];
char traceLine[2 * TEXPATH_CAP];

// A renewed path in the file's encoding: at most 519 UTF-16 units (1038 bytes
// as UTF-16LE, 1557 as UTF-8), or 519 Shift-JIS bytes, where a half-width
// character may take three UTF-8 bytes.
enum { PATH_OUT_CAP = 3 * TEXPATH_CAP + 4 };
char pathOut[PATH_OUT_CAP];
// A new English name in the file's encoding, before it is cut to a name buffer.
enum { NAME_OUT_CAP = 4 * NAME_RESULT_CAP };
char nameOut[NAME_OUT_CAP];

enum { SMALL_WRITE = 1024 };

// wfwrite sends every block to the system at once; short pieces (names, the
// rest of a record) go through WR's buffer instead. Bytes written, -1 on failure.
int32_t write_out(const void* src, int32_t n) {
  if (n >= SMALL_WRITE) return wfwrite(src, n);
  const unsigned char* p = (const unsigned char*)src;
  for (int32_t i = 0; i < n; i++) {
    if (wfputc(p[i]) != 0) return -1;
  }
  return n;
}

// Copies n input bytes (all that is left for n < 0): bytes copied, fewer when
// the input ended first, or -1 when a read or a write failed.
int64_t copy_bytes(int64_t n) {
  if (rfisclosed()) return -1;
  if (n == 0) return 0;
  return rwfcopy64(n);
}

// Copies the input up to position p. 0, or -1 when p lies behind the input
// or the copy fell short.
int copy_to(int64_t p) {
  const int64_t n = p - rfpos();
  if (n < 0) return -1;
  if (n == 0) return 0;
  return copy_bytes(n) == n ? 0 : -1;
}

// The rest of the input, ending exactly where the reader's pass ended: a
// source that shrank since, or that fails to read, is not saved.
int copy_rest() {
  if (rfiserror()) return -1;
  if (M.sourceEnd < 0) return copy_bytes(-1) < 0 ? -1 : 0;
  return copy_to(M.sourceEnd);
}

// Writes a length-prefixed text whose bytes are all in hand.
void put_text(const char* bytes, int32_t n) {
  wfputlong(n);
  if (n > 0) write_out(bytes, n);
}

// Writes a field exactly as the source holds it, after its length (already
// read) and the kept bytes; the tail of a long field comes from the input.
void put_field_as_read(int32_t n, const char* kept) {
  wfputlong(n);
  if (n <= 0) return;
  const int32_t k = n < NAMEBUF_KEEP ? n : NAMEBUF_KEEP;
  write_out(kept, k);
  if (n > k) copy_bytes(n - k);
}

// Cuts a text in the file's encoding to at most `limit` bytes at a character
// boundary; returns the new length.
int32_t cut_whole(char* text, int32_t n, int32_t limit, unsigned char encoding) {
  if (n <= limit) return n;
  if (encoding == 0) {
    n = limit & ~1;
    // a high surrogate at the end would lose its partner
    if (n >= 2 && ((unsigned char)text[n - 1] & 0xFC) == 0xD8) n -= 2;
  } else {
    n = limit;
    while (n > 0 && ((unsigned char)text[n] & 0xC0) == 0x80) n--;
  }
  return n;
}

// Shift-JIS name into the file's encoding in nameOut, cut to a name buffer.
int32_t encode_name(const char* sjis) {
  int32_t n;
  if (M.textEncoding == 0) {
    sjis_to_utf16le(nameOut, NAME_OUT_CAP, sjis);
    n = utf16le_bytes(nameOut);
  } else {
    sjis_to_utf8(nameOut, NAME_OUT_CAP, sjis);
    n = (int32_t)strnlen(nameOut, NAME_OUT_CAP - 1);
  }
  return cut_whole(nameOut, n, NAMEBUF_KEEP, M.textEncoding);
}

// UTF-16 into pathOut in the file's encoding; returns the byte length.
int32_t encode_wide_path(const char16_t* w, int cap) {
  int32_t out = 0;
  for (int i = 0; i < cap && w[i]; i++) {
    uint32_t cp = w[i];
    if (M.textEncoding == 0) {
      pathOut[out++] = (char)(cp & 0xFF);
      pathOut[out++] = (char)(cp >> 8);
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < cap && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (uint32_t)(w[i + 1] - 0xDC00);
      i++;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    out += utf8_encode(cp, pathOut + out);
  }
  return out;
}

// A renewed path from its UTF-16 form, or from the Shift-JIS form when that is
// all there is.
int32_t encode_renewed_path(int i) {
  const char16_t* w = M.pmxnewtexlistpathW[i];
  if (w[0] != 0) return encode_wide_path(w, TEXPATH_CAP - 1);
  const char* s = M.pmxnewtexlistpath[i];
  if (s[0] == 0) return 0;
  int status;
  int32_t n;
  if (M.textEncoding == 0) {
    status = sjis_to_utf16le(pathOut, PATH_OUT_CAP, s);
    n = utf16le_bytes(pathOut);
  } else {
    status = sjis_to_utf8(pathOut, PATH_OUT_CAP, s);
    n = (int32_t)strnlen(pathOut, PATH_OUT_CAP - 1);
  }
  if (status == 0) {
    // "retribed" is the established wording; scripts that read the log match it.
    con_printf(M.textEncoding == 0 ? "UTF-16 path cannot be retribed: %s \n" : "UTF-8 path cannot be retribed: %s \n", s);
    return 0;
  }
  return n;
}

// Walks the source table entry by entry: renewed entries are written new,
// every other entry (also those from 1024 on) as the source holds it.
int write_texture_table() {
  if (copy_to(M.texTableStart) != 0) return -1;
  const int32_t count = rfgetlong();
  wfputlong(count);
  for (int32_t i = 0; i < count; i++) {
    if (rfisclosed() || wfisclosed()) return -1;
    const int32_t n = rfgetlong();
    if (i < M.texListCount) {
      wide_to_sjis(traceLine, (int)sizeof traceLine, M.pmxnewtexlistpathW[i]);
      con_printf(" pmxnewtexlistpath[%d]= %s \n", i, M.pmxnewtexlistpath[i]);
      con_printf(" pmxnewtexlistpathW[%d]= ", i);
      con_printf_name("%s \n", traceLine, M.pmxnewtexlistpathW[i]);
    }
    if (i < M.texListCount && i < TEX_MAX && M.texEntryRenewed[i]) {
      if (n > 0) pmx_skip(n);
      put_text(pathOut, encode_renewed_path(i));
    } else {
      wfputlong(n);
      if (n > 0) copy_bytes(n);
    }
  }
  return wfisclosed() ? -1 : 0;
}

int serve_axis(TwistRef& t) {
  t.mismatch = 0;
  if (t.axisPos < rfpos()) return 0;  // another entry already wrote this field
  if (copy_to(t.axisPos) != 0) return -1;
  pmx_skip(12);
  for (int k = 0; k < 3; k++) wfputfloat(t.computed[k]);
  if (wfisclosed()) {
    con_printf("Error writing file. \n");
    return -1;
  }
  return 0;
}

// Computed axes whose field lies in (from, to); to < 0 means no upper bound.
// Served in file order, since the copy only moves forward.
int serve_axes(int64_t from, int64_t to) {
  for (;;) {
    TwistRef* next = nullptr;
    for (TwistRef& t : M.twistRef) {
      if (!t.mismatch || t.axisPos == 0 || t.axisPos <= from || (to >= 0 && t.axisPos >= to)) continue;
      if (!next || t.axisPos < next->axisPos) next = &t;
    }
    if (!next) return 0;
    if (serve_axis(*next) != 0) return -1;
  }
}

enum RecordKind { KIND_BONE, KIND_MORPH, KIND_FRAME };

// One record's name fields. 0, or -1 when the loop of this kind must stop.
int write_names(RecordKind kind, int32_t i, int64_t pos) {
  if (copy_to(pos) != 0) return -1;
  const unsigned char enc = M.textEncoding;
  NameBuffer& jp = kind == KIND_BONE ? M.boneName : kind == KIND_MORPH ? M.morphName : M.frameName;
  NameBuffer& en = kind == KIND_BONE ? M.boneNameEn : kind == KIND_MORPH ? M.morphNameEn : M.frameNameEn;

  const int32_t jpLen = pmx_read_text(&jp, false);
  pmx_name_to_sjis(jpName, SJIS_CAP, enc, jp.bytes);
  static const char* const kLabel[] = {"(bone %d) (jp) %s ", "(morph %d) (jp) %s ", "(frame %d) (jp) %s "};
  con_printf(kLabel[kind], i, jpName);
  // The name goes back exactly as it stands, whatever its length.
  put_field_as_read(jpLen, jp.bytes);
  if (wfisclosed()) {
    con_printf("Error writing file. \n");
    return -1;
  }

  const int32_t enLen = pmx_read_text(&en, false);
  pmx_name_to_sjis(enName, SJIS_CAP, enc, en.bytes);
  con_printf("  (en) %s ", enName);
  if (enLen > NAMEBUF_KEEP) {
    // Held cut, so it can be neither rewritten nor written back from the buffer.
    con_printf("\n");
    put_field_as_read(enLen, en.bytes);
  } else {
    const bool readEmpty = enName[0] == 0;
    bool empty = readEmpty;
    int32_t newLen = -1;  // -1: the English name stays as read
    if (!empty && kind != KIND_FRAME) {
      if (kind == KIND_BONE) rename_bone_en(ruleResult, NAME_RESULT_CAP, enName);
      else rename_morph_en(ruleResult, NAME_RESULT_CAP, enName);
      if (strcmp(ruleResult, enName) != 0) {
        if (ruleResult[0] == 0) {
          empty = true;
        } else {
          newLen = encode_name(ruleResult);
          con_printf(" => %s ", ruleResult);
        }
      }
    }
    if (empty) {
      if (pmxModel.fillSideLast) fill_name(kind == KIND_BONE ? RULE_BONE : RULE_MORPH, fillName, NAME_RESULT_CAP, jpName);
      else if (kind == KIND_BONE) rename_bone(fillName, NAME_RESULT_CAP, jpName);
      else rename_morph(fillName, NAME_RESULT_CAP, jpName);
      if (strlen(fillName) > FILL_KEEP - 1) {
        fillName[FILL_KEEP] = 0;
        drop_trailing_lead(fillName);  // cut at a whole character
      }
      if (fillName[0] != 0 || kind == KIND_MORPH) con_printf(" => %s ", fillName);
      newLen = encode_name(fillName);
      // Beside an empty Japanese name there is nothing to fill in: the field
      // stays as it stands, even one that only reads as empty (a negative
      // length, a zero unit), as the reader's count of changes assumes.
      if (readEmpty && jpName[0] == 0) newLen = -1;
    }
    con_printf("\n");
    if (newLen >= 0) put_text(nameOut, newLen);
    else put_field_as_read(enLen, en.bytes);
  }
  if (wfisclosed()) {
    con_printf("Error writing file. \n");
    return -1;
  }
  return 0;
}

int write_body() {
  bool failed = false;
  con_printf(" scanning ... \n");
  con_printf("\n");
  if (M.texListRenewed && M.texTableStart != 0 && write_texture_table() != 0) failed = true;

  const int32_t bones = M.boneCount < M.boneNamePosCount ? M.boneCount : M.boneNamePosCount;
  int32_t i = 0;
  for (; i < bones; i++) {
    if (write_names(KIND_BONE, i, M.boneNamePos[i]) != 0) {
      failed = true;
      break;
    }
    // A computed axis lies in this bone's record, before the next bone's name.
    if (i + 1 < bones && serve_axes(M.boneNamePos[i], M.boneNamePos[i + 1]) != 0) {
      failed = true;
      break;
    }
  }
  if (serve_axes(-1, -1) != 0) failed = true;

  const int32_t morphs = M.morphCount < M.morphNamePosCount ? M.morphCount : M.morphNamePosCount;
  for (i = 0; i < morphs; i++) {
    if (write_names(KIND_MORPH, i, M.morphNamePos[i]) != 0) {
      failed = true;
      break;
    }
  }
  const int32_t frames = M.frameCount < M.frameNamePosCount ? M.frameCount : M.frameNamePosCount;
  for (i = 0; i < frames; i++) {
    if (write_names(KIND_FRAME, i, M.frameNamePos[i]) != 0) {
      failed = true;
      break;
    }
  }

  if (copy_rest() != 0) {
    con_printf("Failed in writing to end. \n");
    failed = true;
  }
  // A read that failed anywhere in the pass left a hole in the copy.
  if (rfiserror()) failed = true;
  // What is still buffered must reach the file, and the close must succeed.
  if (wfclose() != 0) failed = true;
  rfclose();
  con_printf("\n");
  return failed ? -1 : 0;
}

// The trace shows a path in Shift-JIS; a UTF-16 one is converted (one at a time).
const char* traced(const char* path) { return path; }
const char* traced(const char16_t* path) {
  wide_to_sjis(traceLine, (int)sizeof traceLine, path);
  return traceLine;
}
// What a console that shows UTF-16 shows instead: the path as itself.
const char16_t* shown(const char*) { return nullptr; }
const char16_t* shown(const char16_t* path) { return path; }
int open_source(const char* path) { return rfopen(path); }
int open_source(const char16_t* path) { return rfopenW(path); }
int create_output(const char* path) { return wfopen(path); }
int create_output(const char16_t* path) { return wfopenW(path); }

template <typename C>
int write_model(const C* outPath, const C* srcPath) {
  con_printf_name("Reading from: %s \n", traced(srcPath), shown(srcPath));
  con_printf_name("Writing to  : %s \n", traced(outPath), shown(outPath));
  if (open_source(srcPath) != 0) return -1;
  if (create_output(outPath) != 0) {
    rfclose();
    return -1;
  }
  if (write_body() != 0) {
    wfdiscard();
    return -1;
  }
  return wfcommit();
}

}  // namespace

int pmdinfowrite(const char* outPath, const char* srcPath) { return write_model(outPath, srcPath); }
int pmdinfowriteW(const char16_t* outPath, const char16_t* srcPath) { return write_model(outPath, srcPath); }
