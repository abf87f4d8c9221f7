#include "support/pmx_builder.h"

#include <cstdio>
#include <cstring>

namespace pmxb {

namespace {

class Out {
 public:
  std::vector<uint8_t> b;
  int32_t pos() const { return (int32_t)b.size(); }
  void u8(uint8_t v) { b.push_back(v); }
  void i16(int16_t v) {
    uint16_t u = (uint16_t)v;
    b.push_back((uint8_t)(u & 0xFF));
    b.push_back((uint8_t)(u >> 8));
  }
  void i32(int32_t v) {
    uint32_t u = (uint32_t)v;
    for (int i = 0; i < 4; i++) b.push_back((uint8_t)(u >> (8 * i)));
  }
  void f32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    i32((int32_t)u);
  }
  void floats(const float* f, int n) {
    for (int i = 0; i < n; i++) f32(f[i]);
  }
  void floats(const std::vector<float>& v, size_t n) {
    for (size_t i = 0; i < n; i++) f32(i < v.size() ? v[i] : 0.0f);
  }
  // Widths other than 1, 2, 4 write nothing, as a reader takes nothing for them.
  void index(int32_t v, uint8_t width) {
    if (width == 1) u8((uint8_t)v);
    else if (width == 2) i16((int16_t)v);
    else if (width == 4) i32(v);
  }
  void text(const std::string& s, uint8_t enc) {
    std::vector<uint8_t> t = encode_text(s, enc);
    i32((int32_t)t.size());
    b.insert(b.end(), t.begin(), t.end());
  }
  void count(size_t real, CountOverride over) { i32(over >= 0 ? (int32_t)over : (int32_t)real); }
};

// Lenient UTF-8 decoding: a malformed byte becomes U+FFFD.
std::vector<uint32_t> decode_utf8(const std::string& s) {
  std::vector<uint32_t> cps;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = (unsigned char)s[i];
    int extra;
    uint32_t cp;
    if (c < 0x80) { extra = 0; cp = c; }
    else if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else { extra = -1; cp = 0; }
    bool ok = extra >= 0 && i + (size_t)extra < s.size();
    for (int k = 1; ok && k <= extra; k++) {
      unsigned char t = (unsigned char)s[i + (size_t)k];
      if ((t & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (!ok) {
      cps.push_back(0xFFFD);
      i++;
      continue;
    }
    cps.push_back(cp);
    i += (size_t)extra + 1;
  }
  return cps;
}

int morph_float_count(uint8_t kind) {
  switch (kind) {
    case MORPH_GROUP: case MORPH_FLIP: return 1;
    case MORPH_VERTEX: return 3;
    case MORPH_BONE: return 7;
    case MORPH_MATERIAL: return 28;
    case MORPH_IMPULSE: return 6;
    default: return 4;  // UV kinds
  }
}

}  // namespace

std::vector<uint8_t> encode_text(const std::string& utf8, uint8_t encoding) {
  if (encoding != UTF16LE) return std::vector<uint8_t>(utf8.begin(), utf8.end());
  std::vector<uint8_t> out;
  for (uint32_t cp : decode_utf8(utf8)) {
    auto unit = [&out](uint32_t u) {
      out.push_back((uint8_t)(u & 0xFF));
      out.push_back((uint8_t)(u >> 8));
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

Vertex Vertex::bdef1(int32_t b0) {
  Vertex v;
  v.deform = BDEF1;
  v.bones[0] = b0;
  return v;
}
Vertex Vertex::bdef2(int32_t b0, int32_t b1, float w0) {
  Vertex v;
  v.deform = BDEF2;
  v.bones[0] = b0;
  v.bones[1] = b1;
  v.weights[0] = w0;
  return v;
}
Vertex Vertex::bdef4(int32_t b0, int32_t b1, int32_t b2, int32_t b3) {
  Vertex v;
  v.deform = BDEF4;
  int32_t b[4] = {b0, b1, b2, b3};
  for (int i = 0; i < 4; i++) {
    v.bones[i] = b[i];
    v.weights[i] = 0.25f;
  }
  return v;
}
Vertex Vertex::sdef(int32_t b0, int32_t b1, float w0) {
  Vertex v = bdef2(b0, b1, w0);
  v.deform = SDEF;
  for (int i = 0; i < 9; i++) v.sdefData[i] = 0.1f * (float)i;
  return v;
}
Vertex Vertex::qdef(int32_t b0, int32_t b1, int32_t b2, int32_t b3) {
  Vertex v = bdef4(b0, b1, b2, b3);
  v.deform = QDEF;
  return v;
}

void Model::set_index_widths(uint8_t w) {
  vertexIndex = textureIndex = materialIndex = boneIndex = morphIndex = rigidIndex = w;
}

std::vector<uint8_t> Model::build(Layout* layout) const {
  Out o;
  Layout lay;
  const uint8_t enc = encoding;
  for (int i = 0; i < 4; i++) o.u8((uint8_t)signature[i]);
  o.f32(version);
  o.u8(globalCount);
  o.u8(encoding);
  o.u8(addUv);
  o.u8(vertexIndex);
  o.u8(textureIndex);
  o.u8(materialIndex);
  o.u8(boneIndex);
  o.u8(morphIndex);
  o.u8(rigidIndex);
  o.text(name, enc);
  o.text(nameEn, enc);
  o.text(comment, enc);
  o.text(commentEn, enc);

  lay.vertexCountPos = o.pos();
  o.i32((int32_t)vertices.size());
  for (const Vertex& v : vertices) {
    lay.vertexPos.push_back(o.pos());
    o.floats(v.pos, 3);
    o.floats(v.normal, 3);
    o.floats(v.uv, 2);
    o.floats(v.addUv, (size_t)addUv * 4);
    o.u8(v.deform);
    switch (v.deform) {
      case BDEF1: o.index(v.bones[0], boneIndex); break;
      case BDEF2:
        o.index(v.bones[0], boneIndex);
        o.index(v.bones[1], boneIndex);
        o.f32(v.weights[0]);
        break;
      case BDEF4: case QDEF:
        for (int i = 0; i < 4; i++) o.index(v.bones[i], boneIndex);
        o.floats(v.weights, 4);
        break;
      case SDEF:
        o.index(v.bones[0], boneIndex);
        o.index(v.bones[1], boneIndex);
        o.f32(v.weights[0]);
        o.floats(v.sdefData, 9);
        break;
      default: break;
    }
    o.f32(v.edge);
  }

  lay.faceCountPos = o.pos();
  o.i32((int32_t)faces.size());
  for (int32_t f : faces) o.index(f, vertexIndex);

  lay.texTableStart = o.pos();
  o.i32((int32_t)textures.size());
  for (const std::string& t : textures) {
    lay.texturePos.push_back(o.pos());
    o.text(t, enc);
  }
  lay.texTableEnd = o.pos();

  lay.materialCountPos = o.pos();
  o.i32((int32_t)materials.size());
  for (const Material& m : materials) {
    lay.materialPos.push_back(o.pos());
    o.text(m.name, enc);
    o.text(m.nameEn, enc);
    o.floats(m.colors, 11);
    o.u8(m.drawFlags);
    o.floats(m.edge, 5);
    o.index(m.texture, textureIndex);
    o.index(m.sphere, textureIndex);
    o.u8(m.sphereMode);
    o.u8(m.toonMode);
    if (m.toonMode == 0) o.index(m.toonIndex, textureIndex);
    else if (m.toonMode == 1) o.u8((uint8_t)m.toonIndex);
    o.text(m.memo, enc);
    o.i32(m.faceVertexCount);
  }

  lay.boneCountPos = o.pos();
  o.i32((int32_t)bones.size());
  for (const Bone& bn : bones) {
    lay.boneNamePos.push_back(o.pos());
    o.text(bn.name, enc);
    o.text(bn.nameEn, enc);
    o.floats(bn.pos, 3);
    o.index(bn.parent, boneIndex);
    o.i32(bn.level);
    o.i16((int16_t)bn.flags);
    if (bn.flags & BONE_TAIL_IS_BONE) o.index(bn.tailBone, boneIndex);
    else o.floats(bn.tailOffset, 3);
    if (bn.flags & (BONE_INHERIT_ROT | BONE_INHERIT_MOVE)) {
      o.index(bn.inheritBone, boneIndex);
      o.f32(bn.inheritRatio);
    }
    if (bn.flags & BONE_FIXED_AXIS) {
      lay.boneAxisPos.push_back(o.pos());
      o.floats(bn.axis, 3);
    } else {
      lay.boneAxisPos.push_back(0);
    }
    if (bn.flags & BONE_LOCAL_AXES) {
      o.floats(bn.localX, 3);
      o.floats(bn.localZ, 3);
    }
    if (bn.flags & BONE_EXTERNAL_PARENT) o.i32(bn.externalKey);
    if (bn.flags & BONE_IK) {
      o.index(bn.ikTarget, boneIndex);
      o.i32(bn.ikLoop);
      o.f32(bn.ikLimit);
      o.count(bn.ikLinks.size(), bn.ikLinkCount);
      for (const IkLink& l : bn.ikLinks) {
        o.index(l.bone, boneIndex);
        o.u8(l.limitFlag);
        if (l.limitFlag == 1) {
          o.floats(l.lower, 3);
          o.floats(l.upper, 3);
        }
      }
    }
  }

  lay.morphCountPos = o.pos();
  o.i32((int32_t)morphs.size());
  for (const Morph& m : morphs) {
    lay.morphNamePos.push_back(o.pos());
    o.text(m.name, enc);
    o.text(m.nameEn, enc);
    o.u8(m.panel);
    o.u8(m.kind);
    o.count(m.offsets.size(), m.offsetCount);
    if (m.kind > MORPH_IMPULSE) continue;
    const size_t nf = (size_t)morph_float_count(m.kind);
    for (const MorphOffset& off : m.offsets) {
      switch (m.kind) {
        case MORPH_GROUP: case MORPH_FLIP: o.index(off.index, morphIndex); break;
        case MORPH_BONE: o.index(off.index, boneIndex); break;
        case MORPH_MATERIAL:
          o.index(off.index, materialIndex);
          o.u8(off.byteField);
          break;
        case MORPH_IMPULSE:
          o.index(off.index, rigidIndex);
          o.u8(off.byteField);
          break;
        default: o.index(off.index, vertexIndex); break;  // vertex and UV kinds
      }
      o.floats(off.values, nf);
    }
  }

  lay.frameCountPos = o.pos();
  o.i32((int32_t)frames.size());
  for (const Frame& f : frames) {
    lay.frameNamePos.push_back(o.pos());
    o.text(f.name, enc);
    o.text(f.nameEn, enc);
    o.u8(f.special);
    o.count(f.elements.size(), f.elementCount);
    for (const FrameElement& e : f.elements) {
      o.u8(e.type);
      o.index(e.index, e.type == 0 ? boneIndex : morphIndex);
    }
  }

  lay.rigidCountPos = o.pos();
  o.i32((int32_t)rigids.size());
  for (const RigidBody& r : rigids) {
    lay.rigidPos.push_back(o.pos());
    o.text(r.name, enc);
    o.text(r.nameEn, enc);
    o.index(r.bone, boneIndex);
    o.u8(r.group);
    o.i16(r.noCollide);
    o.u8(r.shape);
    o.floats(r.values, 14);
    o.u8(r.mode);
  }

  lay.jointCountPos = o.pos();
  o.i32((int32_t)joints.size());
  for (const Joint& j : joints) {
    lay.jointPos.push_back(o.pos());
    o.text(j.name, enc);
    o.text(j.nameEn, enc);
    o.u8(j.type);
    o.index(j.bodyA, rigidIndex);
    o.index(j.bodyB, rigidIndex);
    o.floats(j.values, 24);
  }
  lay.jointsEnd = o.pos();
  o.b.insert(o.b.end(), trailing.begin(), trailing.end());
  lay.size = o.pos();
  if (layout) *layout = lay;
  return o.b;
}

Model sample_model(uint8_t encoding, uint8_t indexWidth) {
  Model m;
  m.encoding = encoding;
  m.addUv = 1;
  m.set_index_widths(indexWidth);
  m.name = "テストモデル";
  m.nameEn = "Test model";
  m.comment = "コメント\r\n二行目";
  m.commentEn = "comment";

  m.vertices = {Vertex::bdef1(0), Vertex::bdef2(0, 1, 0.5f), Vertex::bdef4(0, 1, 2, 3),
                Vertex::sdef(1, 2, 0.7f), Vertex::qdef(3, 2, 1, 0)};
  for (size_t i = 0; i < m.vertices.size(); i++) {
    m.vertices[i].pos[0] = (float)i;
    m.vertices[i].addUv = {0.1f, 0.2f, 0.3f, 0.4f};
  }
  m.faces = {0, 1, 2, 2, 3, 4};
  m.textures = {"tex\\body.png", "toon01.bmp", "sph\\金属.spa"};

  Material a;
  a.name = "体";
  a.nameEn = "body";
  a.texture = 0;
  a.sphere = 2;
  a.sphereMode = 1;
  a.toonMode = 0;
  a.toonIndex = 1;
  a.memo = "メモ";
  a.faceVertexCount = 3;
  Material b;
  b.name = "髪";
  b.texture = -1;
  b.toonMode = 1;
  b.toonIndex = 3;
  b.faceVertexCount = 3;
  m.materials = {a, b};

  Bone center;
  center.name = "センター";
  center.nameEn = "center";
  center.flags = 0x001E;
  center.tailOffset[1] = 1.0f;
  Bone arm;
  arm.name = "左腕";
  arm.nameEn = "arm_L";
  arm.pos[0] = 1.0f;
  arm.pos[1] = 10.0f;
  arm.parent = 0;
  arm.flags = BONE_TAIL_IS_BONE | 0x001A;
  arm.tailBone = 2;
  Bone elbow;
  elbow.name = "左ひじ";
  elbow.nameEn = "";
  elbow.pos[0] = 3.0f;
  elbow.pos[1] = 9.0f;
  elbow.parent = 1;
  elbow.flags = BONE_TAIL_IS_BONE | BONE_LOCAL_AXES;
  elbow.tailBone = 3;
  Bone wrist;
  wrist.name = "左手首";
  wrist.nameEn = "wrist_L";
  wrist.pos[0] = 5.0f;
  wrist.pos[1] = 8.0f;
  wrist.parent = 2;
  wrist.flags = BONE_EXTERNAL_PARENT;
  wrist.externalKey = 7;
  Bone twist;
  twist.name = "左腕捩";
  twist.nameEn = "arm twist_L";
  twist.pos[0] = 2.0f;
  twist.pos[1] = 9.5f;
  twist.parent = 1;
  twist.flags = BONE_FIXED_AXIS | BONE_INHERIT_ROT;
  twist.inheritBone = 1;
  twist.inheritRatio = 0.5f;
  twist.axis[0] = 0.894427f;
  twist.axis[1] = -0.447214f;
  twist.axis[2] = 0.0f;
  Bone ik;
  ik.name = "左足ＩＫ";
  ik.nameEn = "leg IK_L";
  ik.flags = BONE_IK | BONE_INHERIT_MOVE | 0x001E;
  ik.inheritBone = 0;
  ik.ikTarget = 3;
  ik.ikLoop = 40;
  ik.ikLimit = 2.0f;
  IkLink free1;
  free1.bone = 2;
  IkLink limited;
  limited.bone = 1;
  limited.limitFlag = 1;
  limited.lower[0] = -3.14f;
  limited.upper[0] = -0.01f;
  ik.ikLinks = {limited, free1};
  m.bones = {center, arm, elbow, wrist, twist, ik};

  for (uint8_t k = MORPH_GROUP; k <= MORPH_IMPULSE; k++) {
    Morph mo;
    char buf[32];
    std::snprintf(buf, sizeof buf, "モーフ%d", (int)k);
    mo.name = buf;
    std::snprintf(buf, sizeof buf, "morph %d", (int)k);
    mo.nameEn = k == MORPH_BONE ? std::string() : std::string(buf);
    mo.panel = (uint8_t)(k % 4 + 1);
    mo.kind = k;
    MorphOffset o1;
    o1.index = 1;
    o1.byteField = 1;
    o1.values = {0.5f, 0.25f, 0.125f};
    MorphOffset o2;
    o2.index = 0;
    mo.offsets = {o1, o2};
    m.morphs.push_back(mo);
  }

  Frame root;
  root.name = "Root";
  root.nameEn = "Root";
  root.special = 1;
  root.elements = {{0, 0}};
  Frame face;
  face.name = "表情";
  face.nameEn = "";
  face.elements = {{1, 0}, {1, 3}, {0, 4}};
  m.frames = {root, face};

  RigidBody r1;
  r1.name = "頭";
  r1.nameEn = "head";
  r1.bone = 0;
  RigidBody r2;
  r2.name = "髪";
  r2.bone = 1;
  r2.shape = 2;
  r2.mode = 1;
  m.rigids = {r1, r2};

  Joint j;
  j.name = "髪J";
  j.nameEn = "hair J";
  j.type = 0;
  j.bodyA = 0;
  j.bodyB = 1;
  j.values[3] = 0.5f;
  m.joints = {j};
  return m;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  size_t n = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
  bool ok = n == bytes.size();
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}

std::vector<uint8_t> truncated(const std::vector<uint8_t>& bytes, size_t n) {
  if (n >= bytes.size()) return bytes;
  return std::vector<uint8_t>(bytes.begin(), bytes.begin() + (long)n);
}

void put_u8(std::vector<uint8_t>& bytes, size_t off, uint8_t v) {
  if (off < bytes.size()) bytes[off] = v;
}

void put_i32(std::vector<uint8_t>& bytes, size_t off, int32_t v) {
  uint32_t u = (uint32_t)v;
  for (size_t i = 0; i < 4; i++) put_u8(bytes, off + i, (uint8_t)(u >> (8 * i)));
}

int32_t get_i32(const std::vector<uint8_t>& bytes, size_t off) {
  uint32_t u = 0;
  for (size_t i = 0; i < 4 && off + i < bytes.size(); i++) u |= (uint32_t)bytes[off + i] << (8 * i);
  return (int32_t)u;
}

namespace {

struct Span {
  int64_t start;
  std::string label;
};

// Length-prefixed texts from pos, one span for each length and each text,
// then one for what follows them in the record (unless rest is empty).
int64_t add_texts(std::vector<Span>& spans, const std::vector<uint8_t>& b, int64_t pos, const std::string& owner,
                  std::initializer_list<const char*> names, const char* rest) {
  for (const char* name : names) {
    if (pos + 4 > (int64_t)b.size()) return pos;
    spans.push_back({pos, owner + name + " length"});
    const int32_t n = get_i32(b, (size_t)pos);
    pos += 4;
    spans.push_back({pos, owner + name});
    if (n > 0) pos += n;
  }
  if (rest[0]) spans.push_back({pos, owner + rest});
  return pos;
}

std::string numbered(const char* what, size_t i) { return std::string(what) + " " + std::to_string(i) + " "; }

}  // namespace

std::string field_at(const std::vector<uint8_t>& b, const Layout& l, int64_t offset) {
  if (offset < 0 || offset >= (int64_t)b.size()) return "";
  std::vector<Span> spans = {{0, "signature"}, {4, "version"}, {8, "global count"}, {9, "globals"}};
  if (b.size() > 8) add_texts(spans, b, 9 + b[8], "model ", {"name", "English name", "comment", "English comment"}, "");
  spans.push_back({l.vertexCountPos, "vertex count"});
  for (size_t i = 0; i < l.vertexPos.size(); i++) spans.push_back({l.vertexPos[i], numbered("vertex", i) + "data"});
  spans.push_back({l.faceCountPos, "face count"});
  spans.push_back({l.faceCountPos + 4, "faces"});
  spans.push_back({l.texTableStart, "texture count"});
  for (size_t i = 0; i < l.texturePos.size(); i++) add_texts(spans, b, l.texturePos[i], numbered("texture", i), {"path"}, "");
  spans.push_back({l.materialCountPos, "material count"});
  for (size_t i = 0; i < l.materialPos.size(); i++)
    add_texts(spans, b, l.materialPos[i], numbered("material", i), {"name", "English name"}, "data");
  spans.push_back({l.boneCountPos, "bone count"});
  for (size_t i = 0; i < l.boneNamePos.size(); i++) {
    add_texts(spans, b, l.boneNamePos[i], numbered("bone", i), {"name", "English name"}, "data");
    if (i < l.boneAxisPos.size() && l.boneAxisPos[i] != 0) {
      spans.push_back({l.boneAxisPos[i], numbered("bone", i) + "fixed axis"});
      spans.push_back({l.boneAxisPos[i] + 12, numbered("bone", i) + "data after the axis"});
    }
  }
  spans.push_back({l.morphCountPos, "morph count"});
  for (size_t i = 0; i < l.morphNamePos.size(); i++)
    add_texts(spans, b, l.morphNamePos[i], numbered("morph", i), {"name", "English name"}, "data");
  spans.push_back({l.frameCountPos, "display frame count"});
  for (size_t i = 0; i < l.frameNamePos.size(); i++)
    add_texts(spans, b, l.frameNamePos[i], numbered("display frame", i), {"name", "English name"}, "data");
  spans.push_back({l.rigidCountPos, "rigid body count"});
  for (size_t i = 0; i < l.rigidPos.size(); i++)
    add_texts(spans, b, l.rigidPos[i], numbered("rigid body", i), {"name", "English name"}, "data");
  spans.push_back({l.jointCountPos, "joint count"});
  for (size_t i = 0; i < l.jointPos.size(); i++)
    add_texts(spans, b, l.jointPos[i], numbered("joint", i), {"name", "English name"}, "data");
  spans.push_back({l.jointsEnd, "trailing data"});

  const Span* best = nullptr;
  for (const Span& s : spans)
    if (s.start <= offset && (!best || s.start >= best->start)) best = &s;
  if (!best) return "";
  std::string out = best->label;
  if (offset > best->start) out += " +" + std::to_string(offset - best->start);
  return out;
}

std::string describe_difference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual,
                                const Layout* layout) {
  const size_t common = expected.size() < actual.size() ? expected.size() : actual.size();
  size_t at = 0;
  while (at < common && expected[at] == actual[at]) at++;
  if (at == common && expected.size() == actual.size()) return "";
  char head[160];
  if (at < common) {
    snprintf(head, sizeof head, "first difference at offset %zu (0x%zX): expected %02X, got %02X", at, at,
             expected[at], actual[at]);
  } else {
    snprintf(head, sizeof head, "equal for %zu bytes, then the %s file ends", at,
             at == actual.size() ? "written" : "expected");
  }
  std::string out = head;
  if (layout) {
    std::string field = field_at(expected, *layout, (int64_t)at);
    if (!field.empty()) out += " in " + field;
  }
  out += " (expected " + std::to_string(expected.size()) + " bytes, got " + std::to_string(actual.size()) + ")";
  return out;
}

}  // namespace pmxb
