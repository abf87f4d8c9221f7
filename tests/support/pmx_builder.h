// Writes PMX 2.0/2.1 model files for tests: every record variant, chosen text
// encoding and index widths, and the offsets of the fields tests care about.
// Texts are given as UTF-8 and written in the file's encoding.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pmxb {

enum Encoding : uint8_t { UTF16LE = 0, UTF8 = 1 };
enum Deform : uint8_t { BDEF1 = 0, BDEF2 = 1, BDEF4 = 2, SDEF = 3, QDEF = 4 };
enum MorphKind : uint8_t {
  MORPH_GROUP = 0, MORPH_VERTEX = 1, MORPH_BONE = 2, MORPH_UV = 3,
  MORPH_UV1 = 4, MORPH_UV2 = 5, MORPH_UV3 = 6, MORPH_UV4 = 7,
  MORPH_MATERIAL = 8, MORPH_FLIP = 9, MORPH_IMPULSE = 10,
};
enum BoneFlag : uint16_t {
  BONE_TAIL_IS_BONE = 0x0001, BONE_IK = 0x0020,
  BONE_INHERIT_ROT = 0x0100, BONE_INHERIT_MOVE = 0x0200,
  BONE_FIXED_AXIS = 0x0400, BONE_LOCAL_AXES = 0x0800, BONE_EXTERNAL_PARENT = 0x2000,
};

// A declared count that differs from the records written (-1: the real count).
typedef int64_t CountOverride;

struct Vertex {
  float pos[3] = {0, 0, 0};
  float normal[3] = {0, 1, 0};
  float uv[2] = {0, 0};
  std::vector<float> addUv;  // padded or cut to 4 per additional UV set
  uint8_t deform = BDEF1;    // any byte; data written only for 0..4
  int32_t bones[4] = {0, 0, 0, 0};
  float weights[4] = {1, 0, 0, 0};
  float sdefData[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};  // C, R0, R1
  float edge = 1.0f;

  static Vertex bdef1(int32_t b0);
  static Vertex bdef2(int32_t b0, int32_t b1, float w0);
  static Vertex bdef4(int32_t b0, int32_t b1, int32_t b2, int32_t b3);
  static Vertex sdef(int32_t b0, int32_t b1, float w0);
  static Vertex qdef(int32_t b0, int32_t b1, int32_t b2, int32_t b3);
};

struct Material {
  std::string name, nameEn, memo;
  float colors[11] = {1, 1, 1, 1, 0, 0, 0, 5, 0.5f, 0.5f, 0.5f};
  uint8_t drawFlags = 0;
  float edge[5] = {0, 0, 0, 1, 1};
  int32_t texture = -1, sphere = -1;
  uint8_t sphereMode = 0;
  uint8_t toonMode = 0;  // 0: toonIndex is index(T); 1: toonIndex is a byte; else nothing
  int32_t toonIndex = -1;
  int32_t faceVertexCount = 0;
};

struct IkLink {
  int32_t bone = 0;
  uint8_t limitFlag = 0;  // 1: the limits follow
  float lower[3] = {0, 0, 0}, upper[3] = {0, 0, 0};
};

struct Bone {
  std::string name, nameEn;
  float pos[3] = {0, 0, 0};
  int32_t parent = -1;
  int32_t level = 0;
  uint16_t flags = 0;
  int32_t tailBone = -1;
  float tailOffset[3] = {0, 0, 0};
  int32_t inheritBone = -1;
  float inheritRatio = 1.0f;
  float axis[3] = {1, 0, 0};
  float localX[3] = {1, 0, 0}, localZ[3] = {0, 0, 1};
  int32_t externalKey = 0;
  int32_t ikTarget = -1, ikLoop = 10;
  float ikLimit = 1.0f;
  std::vector<IkLink> ikLinks;
  CountOverride ikLinkCount = -1;
};

struct MorphOffset {
  int32_t index = 0;
  uint8_t byteField = 0;      // material operation / impulse local flag
  std::vector<float> values;  // padded or cut to the kind's float count
};

struct Morph {
  std::string name, nameEn;
  uint8_t panel = 1;
  uint8_t kind = MORPH_VERTEX;  // any byte; offsets written as the kind says (none past 10)
  std::vector<MorphOffset> offsets;
  CountOverride offsetCount = -1;
};

struct FrameElement {
  uint8_t type = 0;  // 0 bone, else morph
  int32_t index = 0;
};

struct Frame {
  std::string name, nameEn;
  uint8_t special = 0;
  std::vector<FrameElement> elements;
  CountOverride elementCount = -1;
};

struct RigidBody {
  std::string name, nameEn;
  int32_t bone = -1;
  uint8_t group = 0;
  int16_t noCollide = 0;
  uint8_t shape = 0;
  float values[14] = {1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 0.5f, 0.5f, 0, 0.5f};
  uint8_t mode = 0;
};

struct Joint {
  std::string name, nameEn;
  uint8_t type = 0;
  int32_t bodyA = -1, bodyB = -1;
  float values[24] = {};
};

// Offsets (bytes from the file start) of what the builder wrote.
struct Layout {
  int32_t vertexCountPos = 0, faceCountPos = 0;
  std::vector<int32_t> vertexPos;  // first byte of each record
  std::vector<int32_t> materialPos, rigidPos, jointPos;
  int32_t texTableStart = 0, texTableEnd = 0;
  std::vector<int32_t> texturePos;  // each path's length prefix
  int32_t materialCountPos = 0, boneCountPos = 0;
  std::vector<int32_t> boneNamePos, boneAxisPos;  // axis 0 when the bone has none
  int32_t morphCountPos = 0;
  std::vector<int32_t> morphNamePos;
  int32_t frameCountPos = 0;
  std::vector<int32_t> frameNamePos;
  int32_t rigidCountPos = 0, jointCountPos = 0;
  int32_t jointsEnd = 0;  // where trailing bytes start
  int32_t size = 0;
};

struct Model {
  float version = 2.0f;
  char signature[4] = {'P', 'M', 'X', ' '};
  uint8_t globalCount = 8;
  uint8_t encoding = UTF16LE;
  uint8_t addUv = 0;
  uint8_t vertexIndex = 4, textureIndex = 1, materialIndex = 1;
  uint8_t boneIndex = 2, morphIndex = 2, rigidIndex = 1;
  std::string name, nameEn, comment, commentEn;

  std::vector<Vertex> vertices;
  std::vector<int32_t> faces;  // vertex indices; the declared count is their number
  std::vector<std::string> textures;
  std::vector<Material> materials;
  std::vector<Bone> bones;
  std::vector<Morph> morphs;
  std::vector<Frame> frames;
  std::vector<RigidBody> rigids;
  std::vector<Joint> joints;
  std::vector<uint8_t> trailing;  // PMX 2.1 soft-body area or anything else

  // Sets all six index widths.
  void set_index_widths(uint8_t w);

  std::vector<uint8_t> build(Layout* layout = nullptr) const;
};

// A model holding every record variant: all deform types, both toon modes,
// every optional bone part (fixed axis, IK links with and without limits),
// morphs of kinds 0 to 10, frames with bone and morph elements, rigid bodies
// and joints.
Model sample_model(uint8_t encoding, uint8_t indexWidth);

// Text in the file's encoding, without the length prefix.
std::vector<uint8_t> encode_text(const std::string& utf8, uint8_t encoding);

// File helpers; write_file returns false on failure.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_file(const std::string& path);

// Corruption helpers for error tests.
std::vector<uint8_t> truncated(const std::vector<uint8_t>& bytes, size_t n);
void put_u8(std::vector<uint8_t>& bytes, size_t off, uint8_t v);
void put_i32(std::vector<uint8_t>& bytes, size_t off, int32_t v);
int32_t get_i32(const std::vector<uint8_t>& bytes, size_t off);

// The field of a file the builder wrote (bytes, with its layout) that holds
// an offset, e.g. "bone 3 English name +2"; "" past the end.
std::string field_at(const std::vector<uint8_t>& bytes, const Layout& layout, int64_t offset);
// Where two files first differ: "" when they are equal, else the offset, the
// field there (when the expected file's layout is given), both bytes and sizes.
std::string describe_difference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual,
                                const Layout* layout = nullptr);

}  // namespace pmxb
