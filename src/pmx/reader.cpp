// pmdinforead: one forward pass over a PMX 2.0/2.1 file. Only what the repair
// and the writer need is kept; every other field is stepped over.
#include <cstring>

#include "platform/console.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "pmx/model_store.h"
#include "pmx/pmx.h"
#include "text/rename_rules.h"
#include "text/sjis.h"

namespace {

PmxModel& M = pmxModel;

enum { SJIS_NAME_CAP = PATHBUF_CAP };
char sjisName[SJIS_NAME_CAP];
char sjisRule[NAME_RESULT_CAP];
enum { VERTEX_HEAD_CAP = 32 + 16 * 255 + 1 };
unsigned char vertexHead[VERTEX_HEAD_CAP];

// The size an index of this width takes, or 0 with the message for a width
// the format does not have (the index then reads as -1, nothing consumed).
int32_t index_size(unsigned char width) {
  if (width == 1 || width == 2 || width == 4) return width;
  con_printf("undef(size=%d) err.\n", (int)width);
  return 0;
}

// n indexes in a row, each with its own message when the width is undefined.
int32_t index_sizes(int n, unsigned char width) {
  int32_t total = 0;
  for (int i = 0; i < n; i++) total += index_size(width);
  return total;
}

// Steps over a record that holds `indexes` indexes of one width plus `fixed`
// other bytes; records stop as soon as the input has ended.
void skip_records(int64_t count, int32_t fixed, int indexes, unsigned char width) {
  if (count <= 0) return;
  bool valid = width == 1 || width == 2 || width == 4;
  if (valid || indexes == 0) {
    pmx_skip(count * (int64_t)(fixed + (valid ? indexes * width : 0)));
    return;
  }
  for (int64_t i = 0; i < count && !rfisclosed(); i++) {
    for (int k = 0; k < indexes; k++) index_size(width);
    pmx_skip(fixed);
  }
}

bool utf16_const_eq(const NameBuffer& nb, int32_t len, const char16_t* c) {
  int32_t n = 0;
  while (c[n]) n++;
  if (len != 2 * n || len > NAMEBUF_KEEP) return false;
  for (int32_t i = 0; i < n; i++) {
    unsigned lo = (unsigned char)nb.bytes[2 * i], hi = (unsigned char)nb.bytes[2 * i + 1];
    if ((char16_t)(lo | (hi << 8)) != c[i]) return false;
  }
  return true;
}

bool utf8_const_eq(const NameBuffer& nb, int32_t len, const char* c) {
  int32_t n = (int32_t)strlen(c);
  return len == n && len <= NAMEBUF_KEEP && memcmp(nb.bytes, c, (size_t)n) == 0;
}

struct RefName {
  const char16_t* jpW;
  const char* jp8;
  const char* en;
};
// Same order as armRef and twistRef.
const RefName kArmNames[ARM_REF_COUNT] = {
    {u"\u5DE6\u8155", u8"\u5DE6\u8155", "arm_L"},
    {u"\u53F3\u8155", u8"\u53F3\u8155", "arm_R"},
    {u"\u5DE6\u3072\u3058", u8"\u5DE6\u3072\u3058", "elbow_L"},
    {u"\u53F3\u3072\u3058", u8"\u53F3\u3072\u3058", "elbow_R"},
    {u"\u5DE6\u624B\u9996", u8"\u5DE6\u624B\u9996", "wrist_L"},
    {u"\u53F3\u624B\u9996", u8"\u53F3\u624B\u9996", "wrist_R"},
};
const RefName kTwistNames[TWIST_REF_COUNT] = {
    {u"\u5DE6\u8155\u6369", u8"\u5DE6\u8155\u6369", "arm twist_L"},
    {u"\u5DE6\u624B\u6369", u8"\u5DE6\u624B\u6369", "wrist twist_L"},
    {u"\u53F3\u8155\u6369", u8"\u53F3\u8155\u6369", "arm twist_R"},
    {u"\u53F3\u624B\u6369", u8"\u53F3\u624B\u6369", "wrist twist_R"},
};

bool name_matches(const RefName& r, int32_t nameLen, int32_t enLen) {
  const char* en8 = r.en;
  if (M.textEncoding == 0) {
    char16_t enW[16];
    int i = 0;
    for (; en8[i] && i < 15; i++) enW[i] = (char16_t)(unsigned char)en8[i];
    enW[i] = 0;
    return utf16_const_eq(M.boneName, nameLen, r.jpW) || utf16_const_eq(M.boneNameEn, enLen, enW);
  }
  return utf8_const_eq(M.boneName, nameLen, r.jp8) || utf8_const_eq(M.boneNameEn, enLen, en8);
}

// Counts an English name the writer would fill in or rewrite (ruleKind -1:
// no English rules, as for frames). Only names the writer reaches count: a
// record past the position table, or an empty name beside an empty Japanese
// one, would be written unchanged, and a model saved for them would be a copy.
void count_english_name(const NameBuffer& jp, const NameBuffer& nb, int32_t enLen, int ruleKind, bool reached) {
  if (!reached || enLen > NAMEBUF_KEEP) return;  // copied whole by the writer, never rewritten
  pmx_name_to_sjis(sjisName, SJIS_NAME_CAP, M.textEncoding, nb.bytes);
  if (sjisName[0] == 0) {
    pmx_name_to_sjis(sjisName, SJIS_NAME_CAP, M.textEncoding, jp.bytes);
    if (sjisName[0] != 0) M.enNameCount++;
    return;
  }
  if (ruleKind < 0) return;
  if (ruleKind == RULE_BONE_EN) rename_bone_en(sjisRule, NAME_RESULT_CAP, sjisName);
  else rename_morph_en(sjisRule, NAME_RESULT_CAP, sjisName);
  if (strcmp(sjisRule, sjisName) != 0) M.enNameCount++;
}

// A name's own characters, for a console that shows them all.
void name_to_wide(char16_t* dst, int cap, const NameBuffer& nb) {
  if (M.textEncoding != 0) {
    utf8_to_wide(dst, cap, nb.bytes);
    return;
  }
  const unsigned char* b = reinterpret_cast<const unsigned char*>(nb.bytes);
  int n = 0;
  for (; n < cap - 1 && 2 * n + 1 < NAMEBUF_SIZE && (b[2 * n] | b[2 * n + 1]); ++n)
    dst[n] = (char16_t)(b[2 * n] | b[2 * n + 1] << 8);
  dst[n] = 0;
}

// Prints a model name line and the 20-byte display cut; an empty name shows nothing.
void show_model_name(const NameBuffer& nb, bool printLine) {
  pmx_name_to_sjis(sjisName, SJIS_NAME_CAP, M.textEncoding, nb.bytes);
  if (sjisName[0] == 0) return;
  if (printLine) {
    char16_t nameW[NAMEBUF_SIZE];
    name_to_wide(nameW, NAMEBUF_SIZE, nb);
    con_printf_name("Model: %s \n", sjisName, nameW);
  }
  sjisName[20] = 0;
  // "trancated", "matrial" below: the established spellings, which users' scripts match.
  if (drop_trailing_lead(sjisName) && Info.displayLevel >= 1) con_printf("(>20 DBCS-trancated) ");
}

void clear_model() {
  M.vertexCount = M.faceCount = M.textureCount = M.materialCount = 0;
  M.boneCount = M.morphCount = M.frameCount = M.rigidCount = M.jointCount = 0;
  M.texListCount = 0;
  M.texTableStart = M.texTableEnd = 0;
  M.sourceEnd = -1;
  M.boneNamePosCount = M.morphNamePosCount = M.frameNamePosCount = 0;
  for (ArmRef& a : M.armRef) a.found = 0;
  for (TwistRef& t : M.twistRef) {
    t.found = 0;
    t.axisPos = 0;
  }
  M.enNameCount = 0;
  M.modelName.bytes[0] = M.modelName.bytes[1] = 0;
  M.modelNameEn.bytes[0] = M.modelNameEn.bytes[1] = 0;
  M.comment.bytes[0] = M.comment.bytes[1] = 0;
  M.commentEn.bytes[0] = M.commentEn.bytes[1] = 0;
}

// True, with the message, when the file ended before record i.
bool ended_before(const char* endedAt, int32_t i) {
  if (!rfisclosed()) return false;
  con_printf(endedAt, i);
  return true;
}

// Reads a section count. A count that could not be read (the input ended in or
// before it) fails the section at its first record.
bool read_count(int32_t* count, const char* trace, const char* endMsg) {
  *count = rfgetlong();
  con_printf(trace, *count);
  return !ended_before(endMsg, 0);
}

bool read_vertices() {
  if (!read_count(&M.vertexCount, "%d Vertices.\n", "Err: file ended at vertex %d. \n")) return false;
  const int32_t head = 32 + 16 * (int32_t)M.addUvCount;  // position, normal, UV, extra UVs
  const unsigned char bw = M.boneIndexSize;
  const bool widthValid = bw == 1 || bw == 2 || bw == 4;
  // The longest record: SDEF with its deform data, and the edge scale.
  const int32_t longest = head + 1 + 2 * 4 + 4 + 36 + 4;
  for (int32_t i = 0; i < M.vertexCount; i++) {
    if (ended_before("Err: file ended at vertex %d. \n", i)) return false;
    // Walked inside RD's buffer while whole records are in it; the byte-wise
    // path below takes the records near the end and undefined index widths.
    if (const unsigned char* p = widthValid ? rfpeek(longest) : nullptr) {
      const int32_t rest[5] = {bw, 2 * bw + 4, 4 * bw + 16, 2 * bw + 4 + 36, 4 * bw + 16};
      const int32_t avail = rfbuffered();
      int32_t at = 0;
      while (i < M.vertexCount && avail - at >= longest) {
        const unsigned type = p[at + head];
        if (type > 4) {
          pmx_skip(at + head + 1);
          con_printf("Err: illegal DEF type %d. \n", (int)(signed char)type);
          return false;
        }
        at += head + 1 + rest[type] + 4;  // deform data and edge scale
        i++;
      }
      pmx_skip(at);
      i--;  // the loop's own step
      continue;
    }
    // position .. extra UVs and the deform type in one read
    int c = pmx_read(vertexHead, head + 1) == head + 1 ? vertexHead[head] : -1;
    int32_t rest;
    switch (c) {
      case PMX_DEFORM_BDEF1: rest = index_size(bw); break;
      case PMX_DEFORM_BDEF2: rest = index_sizes(2, bw) + 4; break;
      case PMX_DEFORM_BDEF4: case PMX_DEFORM_QDEF: rest = index_sizes(4, bw) + 16; break;
      case PMX_DEFORM_SDEF: rest = index_sizes(2, bw) + 4 + 36; break;
      default:
        // A type read past the end is -1, reported like any other bad type.
        con_printf("Err: illegal DEF type %d. \n", (int)(signed char)c);
        return false;
    }
    pmx_skip(rest + 4);  // deform data and edge scale
  }
  return true;
}

enum { kMaxSilentFaces = 65536 };

bool read_faces() {
  const int32_t n = rfgetlong();
  con_printf("%d Surfaces.\n", n / 3);
  if (ended_before("Err: file ended at surface %d. \n", 0)) return false;
  if (n % 3 != 0) {
    con_printf("Err: num of surface data (=%d) is not multiples of 3. \n", n);
    return false;
  }
  M.faceCount = n / 3;
  const int32_t faces = M.faceCount;
  const unsigned char w = M.vertexIndexSize;
  if (faces <= 0) return true;
  if (w != 1 && w != 2 && w != 4) {
    // Such faces take no bytes, so the input never ends under them: report
    // each face's indexes, but stop reporting after a realistic face count so
    // a count near 2^31 cannot spin for minutes.
    const int32_t reported = faces < kMaxSilentFaces ? faces : kMaxSilentFaces;
    for (int32_t i = 0; i < reported; i++) {
      for (int k = 0; k < 3; k++) index_size(w);
    }
    return true;
  }
  const int64_t faceSize = 3 * (int64_t)w;
  const int64_t got = pmx_skip(faces * faceSize);
  if (got < faces * faceSize) {
    // The face that ran past the end is taken as read; the next one fails.
    const int64_t next = got / faceSize + 1;
    if (next < faces) {
      con_printf("Err: file ended at surface %d. \n", (int)next);
      return false;
    }
  }
  return true;
}

bool read_textures() {
  M.texTableStart = rfpos();
  int32_t n;
  bool ok = read_count(&n, "%d Textures.\n", "Err: file ended at texture %d. \n");
  M.textureCount = n;
  int32_t held = 0;
  for (int32_t i = 0; ok && i < n; i++) {
    if (ended_before("Err: file ended at texture %d. \n", i)) {
      ok = false;
      break;
    }
    pmx_read_text_into(M.texPath, TEXPATH_RAW_KEEP, TEXPATH_RAW_SIZE);
    if (i < TEX_MAX) {
      if (M.textEncoding == 0) {
        utf16le_to_sjis(M.pmxtexlistpath[i], TEXPATH_CAP, M.texPath);
        pmx_utf16le_to_wide(M.pmxtexlistpathW[i], TEXPATH_CAP, M.texPath);
      } else {
        utf8_to_sjis(M.pmxtexlistpath[i], TEXPATH_CAP, M.texPath);
        utf8_to_wide(M.pmxtexlistpathW[i], TEXPATH_CAP, M.texPath);
      }
      held = i + 1;
    }
  }
  // Only entries this model filled count, so no later step sees another model's paths.
  M.texListCount = held;
  M.texTableEnd = rfpos();
  return ok;
}

bool read_materials() {
  if (!read_count(&M.materialCount, "%d Materials.\n", "Err: file ended at material %d. \n")) return false;
  const unsigned char tw = M.textureIndexSize;
  for (int32_t i = 0; i < M.materialCount; i++) {
    if (ended_before("Err: file ended at material %d. \n", i)) return false;
    pmx_read_text(&M.materialName);
    pmx_read_text(&M.materialNameEn);
    pmx_skip(44 + 1 + 20);  // colours, drawing flags, edge
    pmx_skip(index_sizes(2, tw) + 1);  // texture, sphere, sphere mode
    int toon = rfgetc();
    if (toon == 0) pmx_skip(index_size(tw));
    else if (toon == 1) pmx_skip(1);
    else {
      con_printf("Err: unknown toon sharing mode at matrial %d. \n", i);
      return false;
    }
    pmx_read_text(&M.materialMemo);
    const int32_t faceVertices = rfgetlong();
    if (faceVertices % 3 != 0) {
      con_printf("Err: illegal material-related vertex number at matrial %d. \n", i);
      return false;
    }
  }
  return true;
}

void read_floats(float* dst, int n) {
  for (int i = 0; i < n; i++) dst[i] = rfgetfloat();
}

// A section whose records open with their two names. For bones, morphs and
// frames the writer needs the names' places, and English ones are counted.
struct NamedSection {
  const char* countTrace;
  const char* endedAt;  // with the index of the record the file ended at
  int32_t* count;
  int64_t* namePos;  // null: no places kept
  int32_t* namePosCount;
  int32_t namePosMax;
  NameBuffer* name;
  NameBuffer* nameEn;
  int ruleKind;  // English rules, -1 for none
};
const NamedSection kBones = {"%d Bones.\n", "Err: file ended at bone %d. \n", &pmxModel.boneCount,
                             pmxModel.boneNamePos, &pmxModel.boneNamePosCount, BONE_POS_MAX,
                             &pmxModel.boneName, &pmxModel.boneNameEn, RULE_BONE_EN};
const NamedSection kMorphs = {"%d Morphs.\n", "Err: file ended at morph %d. \n", &pmxModel.morphCount,
                              pmxModel.morphNamePos, &pmxModel.morphNamePosCount, MORPH_POS_MAX,
                              &pmxModel.morphName, &pmxModel.morphNameEn, RULE_MORPH_EN};
const NamedSection kFrames = {"%d Frames.\n", "Err: file ended at display frame %d. \n", &pmxModel.frameCount,
                              pmxModel.frameNamePos, &pmxModel.frameNamePosCount, FRAME_POS_MAX,
                              &pmxModel.frameName, &pmxModel.frameNameEn, -1};
const NamedSection kRigids = {"%d Rigid-bodies.\n", "Err: file ended at rigid body %d. \n", &pmxModel.rigidCount,
                              nullptr, nullptr, 0, &pmxModel.rigidName, &pmxModel.rigidNameEn, -1};
const NamedSection kJoints = {"%d Joints.\n", "Err: file ended at joint %d. \n", &pmxModel.jointCount,
                              nullptr, nullptr, 0, &pmxModel.jointName, &pmxModel.jointNameEn, -1};

bool read_named_count(const NamedSection& s) {
  if (s.namePosCount) *s.namePosCount = 0;
  return read_count(s.count, s.countTrace, s.endedAt);
}

// Record i's names: their place noted, both read, the English one counted.
// False, with the message, when the file ended before the record. Their
// lengths as read go to nameLen and enLen.
bool read_names(const NamedSection& s, int32_t i, int32_t* nameLen = nullptr, int32_t* enLen = nullptr) {
  if (ended_before(s.endedAt, i)) return false;
  const bool placed = i < s.namePosMax;
  if (placed) {
    s.namePos[i] = rfpos();
    *s.namePosCount = i + 1;
  }
  const int32_t jpLen = pmx_read_text(s.name);
  const int32_t len = pmx_read_text(s.nameEn);
  count_english_name(*s.name, *s.nameEn, len, s.ruleKind, placed);
  if (nameLen) *nameLen = jpLen;
  if (enLen) *enLen = len;
  return true;
}

bool read_bones() {
  if (!read_named_count(kBones)) return false;
  const unsigned char bw = M.boneIndexSize;
  for (int32_t i = 0; i < M.boneCount; i++) {
    int32_t nameLen, enLen;
    if (!read_names(kBones, i, &nameLen, &enLen)) return false;
    float pos[3];
    read_floats(pos, 3);
    pmx_skip(index_size(bw) + 4);  // parent, transform level
    for (int r = 0; r < ARM_REF_COUNT; r++) {
      if (name_matches(kArmNames[r], nameLen, enLen)) {
        memcpy(M.armRef[r].pos, pos, sizeof pos);
        M.armRef[r].found = 255;
      }
    }
    const unsigned flags = (unsigned)(uint16_t)rfgetshort();
    pmx_skip((flags & PMX_BONE_TAIL_IS_BONE) ? index_size(bw) : 12);
    if (flags & (PMX_BONE_INHERIT_ROTATION | PMX_BONE_INHERIT_MOVE)) pmx_skip(index_size(bw) + 4);
    if (flags & PMX_BONE_FIXED_AXIS) {
      const int64_t axisPos = rfpos();
      float axis[3];
      read_floats(axis, 3);
      for (int t = 0; t < TWIST_REF_COUNT; t++) {
        if (name_matches(kTwistNames[t], nameLen, enLen)) {
          TwistRef& tr = M.twistRef[t];
          memcpy(tr.axis, axis, sizeof axis);
          tr.axis[3] = 0.0f;
          tr.found = 255;
          tr.axisPos = axisPos;
        }
      }
    }
    if (flags & PMX_BONE_LOCAL_AXES) pmx_skip(24);
    if (flags & PMX_BONE_EXTERNAL_PARENT) pmx_skip(4);
    if (flags & PMX_BONE_IK) {
      pmx_skip(index_size(bw) + 8);  // target, loop count, limit angle
      const int32_t links = rfgetlong();
      for (int32_t k = 0; k < links && !rfisclosed(); k++) {
        pmx_skip(index_size(bw));
        if (rfgetc() == 1) pmx_skip(24);
      }
    }
  }
  return true;
}

// Offset sizes by morph kind: bytes besides the index, and the index kind.
int32_t morph_offset_fixed(int kind) {
  static const int32_t fixed[PMX_MORPH_KIND_COUNT] = {4, 12, 28, 16, 16, 16, 16, 16, 1 + 112, 4, 1 + 24};
  return fixed[kind];
}
unsigned char morph_offset_width(int kind) {
  switch (kind) {
    case PMX_MORPH_GROUP: case PMX_MORPH_FLIP: return M.morphIndexSize;
    case PMX_MORPH_BONE: return M.boneIndexSize;
    case PMX_MORPH_MATERIAL: return M.materialIndexSize;
    case PMX_MORPH_IMPULSE: return M.rigidIndexSize;
    default: return M.vertexIndexSize;
  }
}

bool read_morphs() {
  if (!read_named_count(kMorphs)) return false;
  for (int32_t i = 0; i < M.morphCount; i++) {
    if (!read_names(kMorphs, i)) return false;
    rfgetc();  // panel
    const int kind = rfgetc();
    if (kind < 0 || kind >= PMX_MORPH_KIND_COUNT) {
      con_printf("Err: unknown morph kind at morph %d. \n", i);
      return false;
    }
    const int32_t offsets = rfgetlong();
    skip_records(offsets, morph_offset_fixed(kind), 1, morph_offset_width(kind));
  }
  return true;
}

bool read_frames() {
  if (!read_named_count(kFrames)) return false;
  for (int32_t i = 0; i < M.frameCount; i++) {
    if (!read_names(kFrames, i)) return false;
    rfgetc();  // special-frame flag
    const int32_t elements = rfgetlong();
    for (int32_t k = 0; k < elements && !rfisclosed(); k++) {
      const int type = rfgetc();
      pmx_skip(index_size(type == 0 ? M.boneIndexSize : M.morphIndexSize));
    }
  }
  return true;
}

bool read_rigids() {
  if (!read_named_count(kRigids)) return false;
  for (int32_t i = 0; i < M.rigidCount; i++) {
    if (!read_names(kRigids, i)) return false;
    // bone, group, non-collision groups, shape, 14 floats, physics mode
    pmx_skip(index_size(M.boneIndexSize) + 1 + 2 + 1 + 56 + 1);
  }
  return true;
}

bool read_joints() {
  if (!read_named_count(kJoints)) return false;
  for (int32_t i = 0; i < M.jointCount; i++) {
    if (!read_names(kJoints, i)) return false;
    const int type = rfgetc();
    if (type < 0 || type > 5) {
      con_printf("Err: joint type %d unsupported at joint %d. \n", (int)(signed char)type, i);
      return false;
    }
    pmx_skip(index_sizes(2, M.rigidIndexSize) + 96);
  }
  // A last joint cut short ends the input inside the section.
  if (M.jointCount > 0 && rfisclosed()) {
    con_printf("Err: file ended at joint %d. \n", M.jointCount);
    return false;
  }
  return true;
}

void read_trailing() {
  int c = rfgetc();
  if (c < 0) {
    if (rfiserror()) return;
    con_printf("PMX 2.0: correctly read-in: OK. \n");
    return;
  }
  con_printf("PMX 2.1: reading extended data ...\n");
  const int level = Info.displayLevel;
  if (level >= 2) con_printf("Unrecognized data bytes found. \n");
  if (level < 1) {
    pmx_skip(INT64_MAX);
    return;
  }
  long total = 0;
  for (; c >= 0; c = rfgetc()) {
    total++;
    con_printf("%02X ", c);
    if (total % 16 == 0) con_printf("\n");
  }
  con_printf("\n");
  con_printf(level == 1 ? "SoftBody block: " : "Unrecognized block: ");
  con_printf("Total %ld bytes.\n", total);
}

// A section cut short by a failed read says so, apart from a file that ends.
void report_read_failure() {
  if (rfiserror()) con_printf("Err: file could not be read to its end. \n");
}

int read_body() {
  for (int i = 0; i < 3; i++) {
    const int c = rfgetc();
    if (c != "PMX"[i]) {
      con_printf("Illegal file format at %06X=(%02X) \n", (unsigned)rfpos(), (unsigned)c);
      report_read_failure();
      rfclose();
      return 2;
    }
  }
  rfgetc();
  M.version = rfgetfloat();
  con_printf("PMX Ver %4.2f \n", (double)M.version);
  const int globals = rfgetc();
  if (globals < 8) {
    con_printf("Illegal file format at %06X=(%02X) \n", (unsigned)rfpos(), (unsigned)globals);
    report_read_failure();
    rfclose();
    return 2;
  }
  unsigned char g[8];
  for (unsigned char& b : g) b = (unsigned char)rfgetc();
  M.textEncoding = g[0];
  M.addUvCount = g[1];
  M.vertexIndexSize = g[2];
  M.textureIndexSize = g[3];
  M.materialIndexSize = g[4];
  M.boneIndexSize = g[5];
  M.morphIndexSize = g[6];
  M.rigidIndexSize = g[7];

  pmx_read_text(&M.modelName);
  pmx_read_text(&M.modelNameEn);
  show_model_name(M.modelNameEn, !japanese_mode());
  show_model_name(M.modelName, japanese_mode());
  pmx_read_text(&M.comment);
  pmx_read_text(&M.commentEn);

  const bool ok = read_vertices() && read_faces() && read_textures() && read_materials() &&
                  read_bones() && read_morphs() && read_frames() && read_rigids() && read_joints();
  if (!ok) {
    report_read_failure();
    rfclose();
    con_printf("\n");
    return 3;
  }
  con_printf("OK. \n");
  if (!rfisclosed()) read_trailing();
  // A failed read is never the end of the file: what follows it is unknown.
  if (rfiserror()) {
    report_read_failure();
    rfclose();
    con_printf("\n");
    return 3;
  }
  M.sourceEnd = rfpos();
  con_printf("done. \n");
  rfclose();
  con_printf("\n");
  return 0;
}

}  // namespace

// The open comes first, so its own failure message stands above the path line.
int pmdinforead(const char* path) {
  clear_model();
  const int opened = rfopen(path);
  con_printf_name("Reading from: %s \n", path, nullptr);
  if (opened != 0) return -1;
  return read_body();
}

int pmdinforeadW(const char16_t* path) {
  clear_model();
  const int opened = rfopenW(path);
  static char shown[2 * TEXPATH_CAP];
  wide_to_sjis(shown, (int)sizeof shown, path);
  con_printf_name("Reading from: %s \n", shown, path);
  if (opened != 0) return -1;
  return read_body();
}
