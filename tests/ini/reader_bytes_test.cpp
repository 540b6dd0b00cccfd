// The reader on bytes no ini.txt should hold and on the edge of single precision: nothing is
// read from part of a token, and a message shows what it found as printable text.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdio>
#include <string>

#include "ini/config_reader.hpp"
#include "ini/reader_fixture.hpp"

namespace {

std::string block_error(const std::string& text) {
  text_stream in(text);
  condition_block block;
  std::string error;
  EXPECT_FALSE(read_condition(in.cursor, 2, block, error)) << text;
  return error;
}

const std::string header_before_L = "a b c 1 5 0.1 1e-9 1e-7 x y ";

// catches: strtof/strtol stopping at the NUL, so that "1<NUL>junk" is read as 1
TEST(ReaderBytes, NulByteInsideANumberIsRefused) {
  EXPECT_EQ(read_header(header_before_L + std::string("1\0junk", 6)).error,
            "ini.txt: header: expected L (a number), found \"1\\x00junk\"");
  EXPECT_EQ(read_header(std::string("a b c 1\0 5 0.1 1e-9 1e-7 x y 1", 30)).error,
            "ini.txt: header: expected n_conditions (an integer), found \"1\\x00\"");
  EXPECT_EQ(block_error(std::string("s t 1 0.5\0 0.5 c.txt", 20)),
            "ini.txt: condition 2: expected the initial phi (a number), found \"0.5\\x00\"");
}

// catches: a name cut at its NUL when opened, so that another file is created
TEST(ReaderBytes, NulByteInAFileNameIsRefused) {
  EXPECT_EQ(block_error(std::string("s t 1 0.5 0.5 c\0.txt", 20)),
            "ini.txt: condition 2: expected the condition's file name, found \"c\\x00.txt\", "
            "which holds a NUL byte");
}

TEST(ReaderBytes, ControlBytesAreShownEscapedAndOthersAsTheyAre) {
  EXPECT_EQ(read_header(header_before_L + "1\x1b[2J\x7f").error,
            "ini.txt: header: expected L (a number), found \"1\\x1b[2J\\x7f\"");
  EXPECT_EQ(read_header(header_before_L + "\xc3\xa9").error,
            "ini.txt: header: expected L (a number), found \"\xc3\xa9\"");
}

TEST(ReaderRange, LargestFloatIsTakenAndAnyValueRoundingBeyondItIsRefused) {
  const header_result largest = read_header(header_before_L + "3.4028235e38");
  ASSERT_TRUE(largest.ok) << largest.error;
  EXPECT_EQ(largest.m.L, FLT_MAX);
  // Just above the midpoint between FLT_MAX and 2^128: rounds to infinity.
  for (const char* beyond : {"3.4028236e38", "-3.4028236e38", "1e39", "-1e39", "1e400"}) {
    EXPECT_EQ(read_header(header_before_L + beyond).error,
              std::string("ini.txt: header: expected L (a finite number within single "
                          "precision), found \"") +
                  beyond + "\"");
  }
  EXPECT_EQ(block_error("s t 1 0.5 1e39 c.txt"),
            "ini.txt: condition 2: expected the initial l (a finite number within single "
            "precision), found \"1e39\"");
}

}  // namespace
