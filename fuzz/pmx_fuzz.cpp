// A PMX file of arbitrary bytes through the reader; when it was read to its
// end, through the writer with every texture renewed and names filled by a
// rule set. The output must read back to its end with the same counts and
// differ from the source only in the replaced fields; the source must stay
// as it was.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "pmx/model_store.h"
#include "pmx/pmx.h"
#include "text/rename_rules.h"
#include "text/sjis.h"

namespace {

PmxModel& M = pmxModel;

enum : unsigned {
  F_READ_WIDE = 1, F_WRITE_WIDE = 2, F_RENEW = 4, F_RULES = 8,
  F_LEVEL = 0x30, F_JAPANESE = 0x40, F_SJIS_ONLY = 0x80,
  F_TWIST = 0x30,  // trace level 3 reads as 2; it also runs the twist-axis check and fix
};

// What the reader left of the source, before the store is overwritten.
struct Snapshot {
  float version;
  unsigned char header[8];
  int32_t counts[9];
  int32_t texTableStart, texTableEnd, texListCount;
  std::vector<int32_t> bonePos, morphPos, framePos;
};

Snapshot take() {
  Snapshot s;
  s.version = M.version;
  const unsigned char h[8] = {M.textEncoding, M.addUvCount, M.vertexIndexSize, M.textureIndexSize,
                              M.materialIndexSize, M.boneIndexSize, M.morphIndexSize, M.rigidIndexSize};
  memcpy(s.header, h, 8);
  const int32_t c[9] = {M.vertexCount, M.faceCount, M.textureCount, M.materialCount, M.boneCount,
                        M.morphCount, M.frameCount, M.rigidCount, M.jointCount};
  memcpy(s.counts, c, sizeof c);
  s.texTableStart = M.texTableStart;
  s.texTableEnd = M.texTableEnd;
  s.texListCount = M.texListCount;
  // The writer handles the records below both the count and the recorded count.
  auto held = [](int32_t count, int32_t recorded) { return std::max(0, std::min(count, recorded)); };
  s.bonePos.assign(M.boneNamePos, M.boneNamePos + held(M.boneCount, M.boneNamePosCount));
  s.morphPos.assign(M.morphNamePos, M.morphNamePos + held(M.morphCount, M.morphNamePosCount));
  s.framePos.assign(M.frameNamePos, M.frameNamePos + held(M.frameCount, M.frameNamePosCount));
  return s;
}

int32_t i32_at(const std::string& f, int64_t off) {
  FZ_CHECK(off >= 0 && off + 4 <= (int64_t)f.size(), "length field at %lld outside the file", (long long)off);
  uint32_t v = 0;
  for (int k = 0; k < 4; k++) v |= (uint32_t)(unsigned char)f[(size_t)off + k] << (8 * k);
  return (int32_t)v;
}

// Bytes of a text field at off: its length prefix and what follows.
int64_t field_size(const std::string& f, int64_t off) {
  int32_t n = i32_at(f, off);
  int64_t size = 4 + (n > 0 ? n : 0);
  FZ_CHECK(off + size <= (int64_t)f.size(), "text field at %lld runs past the end", (long long)off);
  return size;
}

bool valid_utf8(const std::string& s) {
  for (const char* p = s.c_str(); *p;) {
    uint32_t cp;
    int r = utf8_next(p, &cp);
    if (r < 0) return false;
    p += r;
  }
  return true;
}

// The renewed paths: plain, Japanese (with a trail byte 0x5C), long, and the
// old path itself. Odd entries may carry only the Shift-JIS form.
struct Renewal {
  std::string sjis;
  std::u16string wide;  // empty: only the Shift-JIS form is set
  bool exact;           // known to survive the round trip
};

Renewal renewal_for(int i, bool sjisOnly) {
  Renewal r;
  char num[16];
  snprintf(num, sizeof num, "%d", i);
  switch (i % 4) {
    case 0:
      r.sjis = std::string("tex\\renewed_") + num + ".png";
      break;
    case 1:
      // テクスチャ\画像N.bmp
      r.sjis = std::string("\x83\x65\x83\x4E\x83\x58\x83\x60\x83\x83\\\x89\xE6\x91\x9C") + num + ".bmp";
      break;
    case 2:
      r.sjis = std::string("deep\\") + std::string(240, 'd') + "\\" + num + ".png";
      break;
    default:
      r.sjis = M.pmxtexlistpath[i];
      break;
  }
  r.exact = i % 4 != 3;
  if (i % 4 == 3) {
    r.wide = M.pmxtexlistpathW[i];
  } else {
    char16_t w[TEXPATH_CAP];
    sjis_to_wide(w, TEXPATH_CAP, r.sjis.c_str());
    r.wide = w;
  }
  if (sjisOnly && (i & 1)) r.wide.clear();
  return r;
}

void set_rules() {
  struct Rule {
    int kind;
    const char* key;
    const char* value;
    unsigned char mode;
  };
  static const Rule rules[] = {
      {RULE_BONE, "\x8D\xB6", "L_", MODE_NORMAL},                                    // 左
      {RULE_BONE, "\x98\x72", "arm", MODE_NORMAL},                                   // 腕
      {RULE_BONE, "\x8D\xB6\x98\x72", "arm_L", MODE_TAIL},                           // 左腕
      {RULE_BONE, "\x83\x5A\x83\x93\x83\x5E\x81\x5B", "center", MODE_WHOLE},         // センター
      {RULE_BONE, "\x94\xAF*", "hair", MODE_NORMAL},                                 // 髪*
      {RULE_BONE, "?", "0123456789012345678901234567890123456789012345678901234567890", MODE_NORMAL},
      {RULE_BONE, "a", "0123456789012345678901234567890123456789012345678901234567890", MODE_NORMAL},
      {RULE_MORPH, "\x81\x48", "\x82\xA0\x82\xA2\x82\xA4", MODE_NORMAL},              // ？ -> あいう
      {RULE_MORPH, "e", "\x82\xA6\x82\xA6\x82\xA6\x82\xA6\x82\xA6\x82\xA6", MODE_NORMAL},
      {RULE_BONE_EN, "center", "", MODE_WHOLE},                                      // empty: filled in
      {RULE_BONE_EN, "_L", "~Left", MODE_TAIL},
      {RULE_BONE_EN, "r", "rrrrrrrrrrrrrrr", MODE_NORMAL},
      {RULE_MORPH_EN, "Blink", "blink", MODE_NORMAL},
      {RULE_MORPH_EN, "*", "\x83\x82\x81\x5B\x83\x74", MODE_NORMAL},                  // everything
  };
  for (const Rule& r : rules) {
    int number = namelist_add(r.kind, r.key);
    FZ_CHECK(number > 0, "namelist_add refused a rule");
    FZ_CHECK(namelist_set(r.kind, number, r.value, r.mode) == 0, "namelist_set refused a rule");
  }
}

// Regions the writer may replace, in file order; between them the output
// must hold the source's bytes.
struct Region {
  int64_t start, end;
};

void add_name_regions(const std::string& f, const std::vector<int32_t>& pos, std::vector<Region>* out) {
  for (int32_t p : pos) {
    int64_t jp = field_size(f, p);
    int64_t en = field_size(f, p + jp);
    out->push_back({p, p + jp + en});
  }
}

std::vector<Region> regions_of(const std::string& f, const Snapshot& s, bool renewed) {
  std::vector<Region> r;
  if (renewed && s.texTableStart != 0) r.push_back({s.texTableStart, s.texTableEnd});
  add_name_regions(f, s.bonePos, &r);
  add_name_regions(f, s.morphPos, &r);
  add_name_regions(f, s.framePos, &r);
  for (size_t i = 1; i < r.size(); i++)
    FZ_CHECK(r[i].start >= r[i - 1].end, "replaced fields overlap at %lld", (long long)r[i].start);
  return r;
}

// A computed twist axis the writer puts at pos (several entries may share a field).
struct Axis {
  int64_t pos;
  std::vector<std::string> candidates;  // the 12 bytes of each entry's axis
};

std::vector<Axis> served_axes() {
  std::vector<Axis> axes;
  for (const TwistRef& t : M.twistRef) {
    if (!t.mismatch || t.axisPos == 0) continue;
    std::string bytes((const char*)t.computed, 12);
    auto at = std::find_if(axes.begin(), axes.end(), [&](const Axis& a) { return a.pos == t.axisPos; });
    if (at == axes.end()) axes.push_back({t.axisPos, {bytes}});
    else at->candidates.push_back(bytes);
  }
  return axes;
}

// Where a source position outside every replaced region lies in the output.
int64_t out_position(int64_t p, const std::vector<Region>& rs, const std::vector<Region>& ro) {
  int64_t q = p;
  for (size_t i = 0; i < rs.size() && rs[i].end <= p; i++) q = ro[i].end + (p - rs[i].end);
  return q;
}

// Each name pair: the name exactly as in the source; an English name either
// the source's or a new one that fits a name buffer in the file's encoding.
void compare_names(const std::string& src, const std::string& out, const std::vector<int32_t>& sp,
                   const std::vector<int32_t>& op, unsigned char enc) {
  FZ_CHECK(sp.size() == op.size(), "name positions differ in number");
  for (size_t i = 0; i < sp.size(); i++) {
    int64_t jp = field_size(src, sp[i]);
    FZ_CHECK(field_size(out, op[i]) == jp && src.compare((size_t)sp[i], (size_t)jp, out, (size_t)op[i], (size_t)jp) == 0,
             "name %zu not written back as read", i);
    int64_t se = sp[i] + jp, oe = op[i] + jp;
    int64_t enSrc = field_size(src, se), enOut = field_size(out, oe);
    if (enSrc == enOut && src.compare((size_t)se, (size_t)enSrc, out, (size_t)oe, (size_t)enOut) == 0) continue;
    int32_t srcLen = i32_at(src, se), n = i32_at(out, oe);
    FZ_CHECK(srcLen <= NAMEBUF_KEEP, "a long English name %zu was not copied whole", i);
    FZ_CHECK(n >= 0 && n <= NAMEBUF_KEEP, "new English name %zu of %d bytes", i, n);
    std::string text = out.substr((size_t)oe + 4, (size_t)n);
    if (enc == 0) {
      FZ_CHECK(n % 2 == 0, "new UTF-16 English name %zu of odd length", i);
      for (int k = 0; k + 1 < n; k += 2)
        FZ_CHECK(text[k] || text[k + 1], "new English name %zu holds a zero unit", i);
    } else {
      FZ_CHECK(text.find('\0') == std::string::npos && valid_utf8(text), "new UTF-8 English name %zu malformed", i);
    }
  }
}

// The texture table of the output: renewed entries carry their new paths,
// every other entry (1024 and on) is the source's.
void compare_textures(const std::string& src, const std::string& out, const Snapshot& s, const Snapshot& o,
                      const std::vector<Renewal>& ren) {
  FZ_CHECK(o.texTableStart == s.texTableStart, "texture table moved");
  FZ_CHECK(i32_at(out, o.texTableStart) == i32_at(src, s.texTableStart), "texture count changed");
  int64_t sp = s.texTableStart + 4, op = o.texTableStart + 4;
  const int32_t count = s.counts[2];
  for (int32_t i = 0; i < count; i++) {
    int64_t sn = field_size(src, sp), on = field_size(out, op);
    if (i < s.texListCount) {
      const Renewal& r = ren[(size_t)i];
      int32_t n = i32_at(out, op);
      FZ_CHECK(n >= 0, "renewed path %d with a negative length", i);
      if (s.header[0] == 0) FZ_CHECK(n % 2 == 0, "renewed UTF-16 path %d of odd length", i);
      else FZ_CHECK(valid_utf8(out.substr((size_t)op + 4, (size_t)n)), "renewed UTF-8 path %d malformed", i);
      if (r.exact && n <= NAMEBUF_KEEP) {
        if (!r.wide.empty()) {
          FZ_CHECK(std::u16string(M.pmxtexlistpathW[i]) == r.wide, "renewed path %d reads back otherwise", i);
        } else {
          FZ_CHECK(std::string(M.pmxtexlistpath[i]) == r.sjis, "renewed Shift-JIS path %d reads back otherwise", i);
        }
      }
    } else {
      FZ_CHECK(sn == on && src.compare((size_t)sp, (size_t)sn, out, (size_t)op, (size_t)on) == 0,
               "texture %d beyond the held ones changed", i);
    }
    sp += sn;
    op += on;
  }
  FZ_CHECK(sp == s.texTableEnd && op == o.texTableEnd, "texture table ends elsewhere");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  fz::Quiet quiet;
  const unsigned flags = data[0];
  data++;
  size--;
  Info.displayLevel = (signed char)((flags & F_LEVEL) >> 4);
  Lang.japanese = Lang.sjisConsole = (flags & F_JAPANESE) != 0;

  const std::string& dir = fz::scratch_dir();
  const std::string srcPath = dir + "/in.pmx", outPath = dir + "/in-new.pmx";
  const std::u16string srcW(srcPath.begin(), srcPath.end()), outW(outPath.begin(), outPath.end());
  FZ_CHECK(fz::write_bytes(srcPath, data, size), "cannot write the input");
  remove(outPath.c_str());

  pmx_reset_model();
  namelist_reset();
  if (flags & F_RULES) set_rules();
  const int r = (flags & F_READ_WIDE) ? pmdinforeadW(srcW.c_str()) : pmdinforead(srcPath.c_str());
  FZ_CHECK(r == 0 || r == 2 || r == 3, "reader result %d", r);
  if (r != 0) return 0;
  FZ_CHECK(M.texListCount >= 0 && M.texListCount <= TEX_MAX, "texListCount %d", (int)M.texListCount);
  FZ_CHECK(M.boneNamePosCount <= BONE_POS_MAX && M.morphNamePosCount <= MORPH_POS_MAX &&
               M.frameNamePosCount <= FRAME_POS_MAX, "a name table overflowed");
  const Snapshot s = take();
  const int32_t enNames = M.enNameCount;
  const std::string src((const char*)data, size);

  std::vector<Axis> axes;
  if ((flags & F_LEVEL) == F_TWIST) {
    twist_check();
    axes = served_axes();
  }

  const bool renew = (flags & F_RENEW) != 0;
  std::vector<Renewal> ren;
  if (renew) {
    M.texListRenewed = 255;
    for (int i = 0; i < M.texListCount; i++) {
      ren.push_back(renewal_for(i, (flags & F_SJIS_ONLY) != 0));
      M.texEntryRenewed[i] = 255;
      sjis_copy(M.pmxnewtexlistpath[i], TEXPATH_CAP, ren.back().sjis.c_str());
      wide_cpy(M.pmxnewtexlistpathW[i], TEXPATH_CAP, ren.back().wide.c_str());
    }
  }

  const int w = (flags & F_WRITE_WIDE) ? pmdinfowriteW(outW.c_str(), srcW.c_str())
                                       : pmdinfowrite(outPath.c_str(), srcPath.c_str());
  FZ_CHECK(w == 0, "writer result %d for a model read to its end", w);
  FZ_CHECK(fz::read_bytes(srcPath) == src, "the source was modified");
  const std::string out = fz::read_bytes(outPath);

  if (!renew && !(flags & F_RULES) && enNames == 0 && axes.empty())
    FZ_CHECK(out == src, "nothing to change, yet the output differs (%zu vs %zu bytes)", out.size(), src.size());

  pmx_reset_model();
  const int back = pmdinforead(outPath.c_str());
  FZ_CHECK(back == 0, "the output reads back with result %d", back);
  const Snapshot o = take();
  FZ_CHECK(o.version == s.version || (o.version != o.version && s.version != s.version), "version changed");
  FZ_CHECK(memcmp(o.header, s.header, 8) == 0, "header changed");
  FZ_CHECK(memcmp(o.counts, s.counts, sizeof s.counts) == 0, "section counts changed");
  FZ_CHECK(out.compare(0, 17, src, 0, 17) == 0, "header bytes changed");

  // Outside the replaced regions the two files hold the same bytes.
  std::vector<Region> rs = regions_of(src, s, renew), ro = regions_of(out, o, renew);
  FZ_CHECK(rs.size() == ro.size(), "replaced regions differ in number");
  // Each computed axis replaces the 12 bytes of its field.
  std::vector<Region> as, ao;
  for (const Axis& a : axes) {
    const int64_t q = out_position(a.pos, rs, ro);
    FZ_CHECK(q + 12 <= (int64_t)out.size(), "axis field past the end of the output");
    const std::string got = out.substr((size_t)q, 12);
    FZ_CHECK(std::find(a.candidates.begin(), a.candidates.end(), got) != a.candidates.end(),
             "axis at %lld not written", (long long)a.pos);
    as.push_back({a.pos, a.pos + 12});
    ao.push_back({q, q + 12});
  }
  auto merged = [](std::vector<Region> r, const std::vector<Region>& extra) {
    r.insert(r.end(), extra.begin(), extra.end());
    std::sort(r.begin(), r.end(), [](const Region& x, const Region& y) { return x.start < y.start; });
    return r;
  };
  rs = merged(rs, as);
  ro = merged(ro, ao);
  int64_t sp = 0, op = 0;
  for (size_t i = 0; i <= rs.size(); i++) {
    int64_t se = i < rs.size() ? rs[i].start : (int64_t)src.size();
    int64_t oe = i < ro.size() ? ro[i].start : (int64_t)out.size();
    FZ_CHECK(se >= sp && oe >= op, "replaced regions overlap before region %zu", i);
    FZ_CHECK(se - sp == oe - op && src.compare((size_t)sp, (size_t)(se - sp), out, (size_t)op, (size_t)(oe - op)) == 0,
             "bytes outside the replaced fields differ before region %zu", i);
    if (i < rs.size()) {
      sp = rs[i].end;
      op = ro[i].end;
    }
  }
  compare_names(src, out, s.bonePos, o.bonePos, s.header[0]);
  compare_names(src, out, s.morphPos, o.morphPos, s.header[0]);
  compare_names(src, out, s.framePos, o.framePos, s.header[0]);
  if (renew && s.texTableStart != 0) compare_textures(src, out, s, o, ren);
  return 0;
}
