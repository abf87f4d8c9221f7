#include "encoding/codepage_tables.h"

#include <gtest/gtest.h>

namespace {

struct Reading {
  int page;
  unsigned char byte;
  uint16_t cp;
};

TEST(CodepageTables, SingleBytePages) {
  const Reading cases[] = {
      {CODEPAGE_437, 0x41, 0x41},    {CODEPAGE_437, 0x5C, 0x5C},    {CODEPAGE_437, 0x82, 0xE9},
      {CODEPAGE_437, 0xB3, 0x2502},  {CODEPAGE_437, 0xD4, 0x2558},  {CODEPAGE_437, 0x9E, 0x20A7},
      {CODEPAGE_850, 0x82, 0xE9},    {CODEPAGE_850, 0x9E, 0xD7},    {CODEPAGE_850, 0xD5, 0x131},
      {CODEPAGE_1252, 0x80, 0x20AC}, {CODEPAGE_1252, 0x83, 0x192},  {CODEPAGE_1252, 0xE9, 0xE9},
      // undefined in cp1252: the C1 control of the same value
      {CODEPAGE_1252, 0x81, 0x81},   {CODEPAGE_1252, 0x8D, 0x8D},   {CODEPAGE_1252, 0x9D, 0x9D},
  };
  for (const Reading& c : cases)
    EXPECT_EQ(c.cp, sbcs_to_uni(c.page, c.byte)) << c.page << " " << std::hex << (int)c.byte;
  for (int page = 0; page < CODEPAGE_SBCS_COUNT; page++)
    for (int b = 1; b < 256; b++) ASSERT_NE(0, sbcs_to_uni(page, (unsigned char)b)) << page << " " << b;
  EXPECT_EQ(0, sbcs_to_uni(7, 0x82));
}

TEST(CodepageTables, Cp932AsWindowsReadsIt) {
  const struct {
    uint32_t code;
    uint16_t cp;
  } cases[] = {
      {0x41, 0x41},     {0x5C, 0x5C},     {0xB1, 0xFF71},   {0x80, 0x80},     {0xA0, 0xF8F0},
      {0xFD, 0xF8F1},   {0x82A0, 0x3042}, {0x815C, 0x2015}, {0x8160, 0xFF5E}, {0x8740, 0x2460},
      {0xED40, 0x7E8A}, {0xFA40, 0x2170}, {0xF040, 0xE000}, {0xEAA4, 0x7199},
      // no character: leads alone, unassigned pairs, bad trails
      {0x81, 0},        {0xE3, 0},        {0x8580, 0},      {0xEF40, 0},      {0x817F, 0},
      {0x8130, 0},      {0x81FD, 0},      {0xFD40, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.cp, cp932_to_uni(c.code)) << std::hex << c.code;
}

}  // namespace
