// Byte comparison for tests that says where two files part: the first
// differing offset and the PMX field there, not a dump of both files.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/pmx_builder.h"

inline ::testing::AssertionResult same_bytes(const std::vector<uint8_t>& expected,
                                             const std::vector<uint8_t>& actual,
                                             const pmxb::Layout* layout = nullptr) {
  std::string d = pmxb::describe_difference(expected, actual, layout);
  if (d.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << d;
}

inline ::testing::AssertionResult same_bytes(const std::string& expected, const std::string& actual,
                                             const pmxb::Layout* layout = nullptr) {
  return same_bytes(std::vector<uint8_t>(expected.begin(), expected.end()),
                    std::vector<uint8_t>(actual.begin(), actual.end()), layout);
}

// A written file against the file the builder makes of want, fields named.
inline ::testing::AssertionResult same_model(const pmxb::Model& want, const std::vector<uint8_t>& actual) {
  pmxb::Layout layout;
  std::vector<uint8_t> expected = want.build(&layout);
  return same_bytes(expected, actual, &layout);
}
