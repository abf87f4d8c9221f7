// pmxModel: what the program keeps of the one model it works on.
#pragma once
#include <cstdint>

#include "platform/paths.h"

enum {
  TEX_MAX = 1024, TEXPATH_CAP = PATHBUF_CAP,
  BONE_POS_MAX = 4096, MORPH_POS_MAX = 8192, FRAME_POS_MAX = 1024,
  NAMEBUF_SIZE = 256, NAMEBUF_KEEP = 254,
  TEXPATH_RAW_KEEP = 2 * (TEXPATH_CAP - 1), TEXPATH_RAW_SIZE = TEXPATH_RAW_KEEP + 3,
};

// First 254 bytes of a PMX text field as stored, then two zero bytes.
struct NameBuffer {
  char bytes[NAMEBUF_SIZE];
};

struct ArmRef {
  float pos[3];
  unsigned char found;
};
struct TwistRef {
  float axis[4];           // stored fixed axis, fourth 0.0
  unsigned char found;
  int64_t axisPos;         // file position of the axis's first float, 0 = none
  float computed[4];       // written by the twist check
  unsigned char mismatch;
};
enum { ARM_L = 0, ARM_R, ELBOW_L, ELBOW_R, WRIST_L, WRIST_R, ARM_REF_COUNT };
enum { TWIST_ARM_L = 0, TWIST_WRIST_L, TWIST_ARM_R, TWIST_WRIST_R, TWIST_REF_COUNT };

struct PmxModel {
  // header
  float version;
  unsigned char textEncoding;  // 0 UTF-16LE, other UTF-8
  unsigned char addUvCount;
  unsigned char vertexIndexSize, textureIndexSize, materialIndexSize;
  unsigned char boneIndexSize, morphIndexSize, rigidIndexSize;

  int32_t vertexCount, faceCount, textureCount, materialCount;
  int32_t boneCount, morphCount, frameCount, rigidCount, jointCount;

  // texture table
  char pmxtexlistpath[TEX_MAX][TEXPATH_CAP];
  char16_t pmxtexlistpathW[TEX_MAX][TEXPATH_CAP];
  int32_t texListCount;
  int64_t texTableStart;
  int64_t texTableEnd;
  char pmxnewtexlistpath[TEX_MAX][TEXPATH_CAP];
  char16_t pmxnewtexlistpathW[TEX_MAX][TEXPATH_CAP];
  unsigned char texListRenewed;
  // Per entry: 255 when the repair renewed that entry; the writer copies the
  // others from the source exactly as they stand.
  unsigned char texEntryRenewed[TEX_MAX];

  // Where the reader's pass ended (the size of the source it read whole), -1
  // when it did not: the writer's copy must end exactly there.
  int64_t sourceEnd;

  // name-field positions (file positions are 64-bit: models of 2 GiB and more)
  int64_t boneNamePos[BONE_POS_MAX];
  int32_t boneNamePosCount;
  int64_t morphNamePos[MORPH_POS_MAX];
  int32_t morphNamePosCount;
  int64_t frameNamePos[FRAME_POS_MAX];
  int32_t frameNamePosCount;

  ArmRef armRef[ARM_REF_COUNT];
  TwistRef twistRef[TWIST_REF_COUNT];
  int32_t enNameCount;
  // Set by the driver for -F: a filled name takes its side (left, right) at its end.
  unsigned char fillSideLast;

  // scratch name buffers; only the field last read stays
  NameBuffer modelName, modelNameEn, comment, commentEn;
  NameBuffer boneName, boneNameEn, morphName, morphNameEn, frameName, frameNameEn;
  NameBuffer materialName, materialNameEn, materialMemo;
  NameBuffer rigidName, rigidNameEn, jointName, jointNameEn;
  // A texture path is kept as long as the path tables can hold it (519 UTF-16
  // units), not cut at a name buffer's 254 bytes, so a long valid link is
  // tested whole.
  char texPath[TEXPATH_RAW_SIZE];
};
extern PmxModel pmxModel;

// The per-model reset the driver runs before each read.
void pmx_reset_model();
