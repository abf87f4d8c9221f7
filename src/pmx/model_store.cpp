#include "pmx/model_store.h"

PmxModel pmxModel;

void pmx_reset_model() {
  PmxModel& m = pmxModel;
  for (ArmRef& a : m.armRef) a.found = 0;
  for (TwistRef& t : m.twistRef) {
    t.found = 0;
    t.axisPos = 0;
    t.mismatch = 0;
  }
  m.texTableStart = 0;
  m.texTableEnd = 0;
  m.sourceEnd = -1;
  m.texListRenewed = 0;
  for (unsigned char& e : m.texEntryRenewed) e = 0;
  m.enNameCount = 0;
  m.fillSideLast = 0;
}

#include "platform/file_io.h"
#include "pmx/pmx.h"
#include "text/sjis.h"

// RD serves small reads from its buffer and steps over skipped bytes.
int32_t pmx_read(void* dst, int32_t n) { return rfread(dst, n); }

int64_t pmx_skip(int64_t n) { return rfskip(n); }

namespace {
int32_t read_text(char* bytes, int32_t keepMax, int32_t size, bool skipRest) {
  const int32_t n = rfgetlong();
  int32_t got = 0;
  if (n > 0) {
    const int32_t keep = n < keepMax ? n : keepMax;
    got = pmx_read(bytes, keep);
    if (skipRest && got == keep && n > keep) pmx_skip(n - keep);
  }
  // A third zero keeps an odd-length UTF-16LE text terminated on a unit boundary.
  bytes[got] = 0;
  bytes[got + 1] = 0;
  if (got + 2 < size) bytes[got + 2] = 0;
  return n;
}
}  // namespace

int32_t pmx_read_text(NameBuffer* nb, bool skipRest) {
  return read_text(nb->bytes, NAMEBUF_KEEP, NAMEBUF_SIZE, skipRest);
}

int32_t pmx_read_text_into(char* bytes, int32_t keep, int32_t size) {
  return read_text(bytes, keep, size, true);
}

void pmx_name_to_sjis(char* dst, int cap, unsigned char encoding, const char* text) {
  if (encoding == 0) utf16le_to_sjis(dst, cap, text);
  else utf8_to_sjis(dst, cap, text);
}

void pmx_utf16le_to_wide(char16_t* dst, int cap, const char* text) {
  int i = 0;
  for (; i < cap - 1; i++) {
    const char16_t u = (char16_t)((unsigned char)text[2 * i] | ((unsigned char)text[2 * i + 1] << 8));
    if (u == 0) break;
    dst[i] = u;
  }
  if (cap > 0) dst[i] = 0;
}
