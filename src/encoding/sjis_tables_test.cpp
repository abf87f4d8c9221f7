#include "encoding/sjis_tables.h"

#include <gtest/gtest.h>

namespace {

struct Pair {
  uint32_t from, to;
};

TEST(SjisTables, SingleBytes) {
  EXPECT_EQ(0x41u, sjis_to_uni(0x41));
  EXPECT_EQ(0xA5u, sjis_to_uni(0x5C));    // yen sign, not backslash
  EXPECT_EQ(0x203Eu, sjis_to_uni(0x7E));  // overline, not tilde
  for (uint32_t b = 0xA1; b <= 0xDF; b++) EXPECT_EQ(0xFF61 + (b - 0xA1), sjis_to_uni(b)) << b;
  for (uint32_t b = 0x80; b <= 0xA0; b++) EXPECT_EQ(0u, sjis_to_uni(b)) << b;
  for (uint32_t b = 0xE0; b <= 0xFF; b++) EXPECT_EQ(0u, sjis_to_uni(b)) << b;
}

TEST(SjisTables, DoubleByteDecode) {
  const Pair cases[] = {
      {0x8140, 0x3000}, {0x82A0, 0x3042}, {0x815F, 0x005C}, {0x81B0, 0x007E},
      {0x8160, 0x301C}, {0x81E0, 0x2252}, {0x83BB, 0x2661}, {0x9873, 0x20B9F},
      {0xFCF4, 0x2A6B2},
      // the program's own choices
      {0x815C, 0x2014}, {0x81D4, 0xFF5F}, {0x81D5, 0xFF60},
  };
  for (const Pair& c : cases) EXPECT_EQ(c.to, sjis_to_uni(c.from)) << std::hex << c.from;

  // Unassigned, combining pairs, bad trail bytes and lead 0x80.
  const uint32_t none[] = {0x8790, 0x8791, 0x8792, 0x8794, 0x8795, 0x8796, 0x8797,
                           0x879A, 0x879B, 0x879C, 0x82F5, 0x8140 - 1, 0x817F,
                           0x8041, 0x81FD, 0xE000};
  for (uint32_t code : none) EXPECT_EQ(0u, sjis_to_uni(code)) << std::hex << code;
}

TEST(SjisTables, SupplementaryDecodeEntries) {
  int count = 0;
  uint32_t lo = 0xFFFFFFFF, hi = 0;
  for (uint32_t code = 0x8000; code < 0x10000; code++) {
    uint32_t cp = sjis_to_uni(code);
    if (cp < 0x10000) continue;
    count++;
    if (cp < lo) lo = cp;
    if (cp > hi) hi = cp;
  }
  EXPECT_EQ(303, count);
  EXPECT_EQ(0x2000Bu, lo);
  EXPECT_EQ(0x2A6B2u, hi);
}

TEST(SjisTables, OutsideRangesAndMasking) {
  const uint32_t outside[] = {0x0100, 0x7FFF, 0xA000, 0xDFFF, 0xFD00, 0xFFFF};
  for (uint32_t code : outside) EXPECT_EQ(0u, sjis_to_uni(code)) << std::hex << code;
  EXPECT_EQ(sjis_to_uni(0x82A0), sjis_to_uni(0x182A0));
  EXPECT_EQ(uni_to_sjis(0x3042), uni_to_sjis(0x13042));

  for (uint32_t cp = 0x500; cp < 0x1E00; cp++) ASSERT_EQ(0, uni_to_sjis(cp)) << std::hex << cp;
  for (uint32_t cp = 0xA000; cp < 0xF900; cp++) ASSERT_EQ(0, uni_to_sjis(cp)) << std::hex << cp;
}

TEST(SjisTables, Encode) {
  const Pair cases[] = {
      {0x0041, 0x41},   {0x00A5, 0x5C},   {0x005C, 0x815F}, {0x007E, 0x81B0},
      {0x203E, 0x7E},   {0xFF71, 0xB1},   {0x3042, 0x82A0}, {0x304B, 0x82A9},
      {0x2252, 0x81E0}, {0x301C, 0x8160}, {0x2661, 0x83BB}, {0x2014, 0x815C},
      {0xFF5F, 0x81D4}, {0xFF60, 0x81D5},
      // no entry
      {0x2015, 0},      {0x2985, 0},      {0x2986, 0},      {0xFF5E, 0},
  };
  for (const Pair& c : cases) EXPECT_EQ(c.to, uni_to_sjis(c.from)) << std::hex << c.from;
}

// Every code the encoder gives decodes back to the code point it came from.
TEST(SjisTables, EncodeEntriesDecodeBack) {
  for (uint32_t cp = 0x80; cp < 0x10000; cp++) {
    uint16_t code = uni_to_sjis(cp);
    if (code == 0) continue;
    ASSERT_EQ(cp, sjis_to_uni(code)) << std::hex << cp << " -> " << code;
  }
}

TEST(SjisTables, Overrides) {
  int pairs8160 = 0;
  for (const SjisOverride& o : sjis_overrides) pairs8160 += o.sjis == 0x8160;
  EXPECT_EQ(2, pairs8160);
  EXPECT_EQ(0x815Cu, sjis_overrides[0].sjis);
  EXPECT_EQ(0x879Cu, sjis_overrides[SJIS_OVERRIDE_COUNT - 1].sjis);

  const Pair decode[] = {{0x815C, 0x2015}, {0x815F, 0xFF3C}, {0x8160, 0xFF5E},
                         {0x8790, 0x2252}, {0x879C, 0x222A}, {0x8140, 0}, {0x81E0, 0}};
  for (const Pair& c : decode) EXPECT_EQ(c.to, sjis_override_decode(c.from)) << std::hex << c.from;
  const Pair encode[] = {{0xFF5E, 0x8160}, {0x301C, 0x8160}, {0x2252, 0x8790}, {0x2015, 0x815C},
                         {0xFFE2, 0x81CA}, {0x2014, 0},      {0x0041, 0},      {0, 0}};
  for (const Pair& c : encode) EXPECT_EQ(c.to, sjis_override_encode(c.from)) << std::hex << c.from;
}

}  // namespace
