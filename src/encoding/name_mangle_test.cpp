#include "encoding/name_mangle.h"

#include <gtest/gtest.h>

#include <string>

#include "encoding/codec.h"

namespace {

std::string U8(const std::u16string& w) {
  char buf[1024];
  wide_to_utf8(buf, sizeof buf, w.c_str());
  return buf;
}

// ---- manglings against Python's codecs ----------------------------------------

const char16_t* const kMangleCases[][5] = {
#include "encoding/mangle_cases.inc"
};

TEST(LinkSearchMangle, MatchesPythonCodecs) {
  for (const auto& c : kMangleCases) {
    std::u16string name = c[0];
    for (int kind = 0; kind < MANGLE_KINDS; kind++) {
      char16_t out[256];
      bool ok = link_mangle(kind, name.c_str(), (int)name.size(), out, 256);
      std::u16string want = c[1 + kind];
      EXPECT_EQ(!want.empty(), ok) << U8(name) << " kind " << kind;
      if (ok && !want.empty()) {
        EXPECT_TRUE(want == out) << U8(name) << " kind " << kind << ": " << U8(out);
      }
    }
  }
}

TEST(LinkSearchMangle, NeverWritesPastItsBuffer) {
  std::u16string name = u"テクスチャ.png";
  char16_t out[8];
  for (int kind = 0; kind < MANGLE_KINDS; kind++) {
    for (int i = 0; i < 8; i++) out[i] = 'x';
    EXPECT_FALSE(link_mangle(kind, name.c_str(), (int)name.size(), out, 6)) << kind;
    EXPECT_EQ(u'x', out[6]) << kind;
  }
}

}  // namespace
