// The reader of ini.txt: awkward but valid text read exactly, and every bad input refused.
#include "ini/config_reader.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "ini/reader_fixture.hpp"

namespace {

const char* const valid_header = "a b c\n2 50 0.1 1e-9 1e-7\nref L\n1.5\n";

TEST(ReadConfig, ReadsEveryFieldThroughSinglePrecision) {
  const header_result r = read_header(valid_header);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.config.n_conditions, 2);
  EXPECT_EQ(r.config.n_points, 50);
  EXPECT_EQ(r.s.h, static_cast<double>(0.1f));
  EXPECT_EQ(r.config.tol, static_cast<double>(1e-9f));
  EXPECT_EQ(r.config.eps, static_cast<double>(1e-7f));
  EXPECT_EQ(r.m.L, 1.5f);
}

TEST(ReadConfig, LayoutOfLinesDoesNotMatter) {
  const header_result one_line = read_header("a b c 2 50 0.1 1e-9 1e-7 ref L 1.5");
  const header_result per_token = read_header("a\nb\nc\n2\n50\n0.1\n1e-9\n1e-7\nref\nL\n1.5\n");
  const header_result crlf = read_header("a b c\r\n2 50\t0.1 1e-9 1e-7\r\n\r\nref L\r\n1.5\r\n");
  for (const header_result* r : {&one_line, &per_token, &crlf}) {
    ASSERT_TRUE(r->ok) << r->error;
    EXPECT_EQ(r->config.n_points, 50);
    EXPECT_EQ(r->config.eps, static_cast<double>(1e-7f));
    EXPECT_EQ(r->m.L, 1.5f);
  }
}

float read_L(const std::string& token) {
  const header_result r = read_header(std::string("a b c 1 1 0.1 1e-9 1e-7 x y ") + token);
  EXPECT_TRUE(r.ok) << token << ": " << r.error;
  return r.m.L;
}

TEST(ReadConfig, NumberFormsOfTheFloatConversion) {
  EXPECT_EQ(read_L(".5"), 0.5f);
  EXPECT_EQ(read_L("5."), 5.0f);
  EXPECT_EQ(read_L("+1.25"), 1.25f);
  EXPECT_EQ(read_L("2E3"), 2000.0f);
  EXPECT_EQ(read_L("0x1p-3"), 0.125f);
  EXPECT_EQ(read_L("7"), 7.0f);
  const float negative_zero = read_L("-0.0");
  EXPECT_EQ(negative_zero, 0.0f);
  EXPECT_TRUE(std::signbit(negative_zero));
  EXPECT_EQ(read_L("1e-6"), 1e-6f);
  EXPECT_EQ(read_L("1e-44"), 0x1.cp-147f);  // underflows to the nearest subnormal, as "%f"
}

TEST(ReadConfig, DecimalIsRoundedOnceToSinglePrecision) {
  // Just above the midpoint between 1 and the next float: rounding through double would land
  // on the midpoint and then round to even, giving 1.
  EXPECT_EQ(read_L("1.0000000596046447753906251"), 0x1.000002p0f);
}

TEST(ReadConfig, EndOfFileAnywhereIsReported) {
  const std::string full = "a b c 2 50 0.1 1e-9 1e-7 ref L 1.5";
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    if (full[cut] != ' ') {
      continue;
    }
    const header_result r = read_header(full.substr(0, cut));
    EXPECT_FALSE(r.ok) << cut;
    EXPECT_NE(r.error.find("found the end of the file"), std::string::npos) << r.error;
    EXPECT_EQ(r.error.rfind("ini.txt: header: expected ", 0), 0U) << r.error;
  }
}

std::string header_error(const std::string& text) {
  const header_result r = read_header(text);
  EXPECT_FALSE(r.ok) << text;
  return r.error;
}

TEST(ReadConfig, MalformedAndOutOfRangeNumbersAreRefused) {
  EXPECT_EQ(header_error("a b c 3.5 50 0.1 1e-9 1e-7 x y 1"),
            "ini.txt: header: expected n_conditions (an integer), found \"3.5\"");
  EXPECT_EQ(header_error("a b c 2 fifty 0.1 1e-9 1e-7 x y 1"),
            "ini.txt: header: expected n_points (an integer), found \"fifty\"");
  EXPECT_EQ(header_error("a b c 2 9999999999 0.1 1e-9 1e-7 x y 1"),
            "ini.txt: header: expected n_points (an integer within the range of int), found "
            "\"9999999999\"");
  EXPECT_EQ(header_error("a b c 2 5 0.1 1e-9 1e-7 x y 1e39"),
            "ini.txt: header: expected L (a finite number within single precision), found "
            "\"1e39\"");
  EXPECT_EQ(header_error("a b c 2 5 0.1 1e-9,5 1e-7 x y 1"),
            "ini.txt: header: expected tol (a number), found \"1e-9,5\"");
  for (const char* bad : {"inf", "-inf", "nan", "1e", "--1", ""}) {
    EXPECT_NE(header_error(std::string("a b c 2 5 0.1 1e-9 1e-7 x y ") + bad).find("L"),
              std::string::npos);
  }
}

TEST(ReadConfig, ValuesThatWouldNeverFinishAreRefused) {
  EXPECT_NE(header_error("a b c 1 5 0.1 0 1e-7 x y 1").find("tol must be greater than 0"),
            std::string::npos);
  EXPECT_NE(header_error("a b c 1 5 0.1 -1e-9 1e-7 x y 1").find("tol must be greater than 0"),
            std::string::npos);
  EXPECT_NE(header_error("a b c 1 5 0.1 1e-50 1e-7 x y 1").find("tol must be greater than 0"),
            std::string::npos);
  EXPECT_NE(header_error("a b c 1 5 0.1 1e-9 0 x y 1").find("eps must be greater than 0"),
            std::string::npos);
  EXPECT_NE(header_error("a b c 1 5 0 1e-9 1e-7 x y 1").find("h0 must not be 0"),
            std::string::npos);
  EXPECT_NE(header_error("a b c 1 5 -0.0 1e-9 1e-7 x y 1").find("h0 must not be 0"),
            std::string::npos);
}

TEST(ReadConfig, OverlongLabelIsRefusedWithoutOverflow) {
  const std::string longest(max_word_length, 'w');
  EXPECT_TRUE(read_header(longest + " b c 1 5 0.1 1e-9 1e-7 x y 1").ok);
  EXPECT_EQ(header_error(longest + "w b c 1 5 0.1 1e-9 1e-7 x y 1"),
            "ini.txt: header: expected the first label word, found a token longer than 499 "
            "characters");
}

struct block_result {
  bool ok = false;
  condition_block block;
  std::string error;
};

block_result read_block(const std::string& text, int condition = 3) {
  text_stream in(text);
  block_result r;
  r.ok = read_condition(in.cursor, condition, r.block, r.error);
  return r;
}

TEST(ReadCondition, ReadsStateAndNameAndStopsAfterTheBlock) {
  text_stream in("start here 7 0.1 -2.5 ./RESULT/c1.txt\nnext block 8 bad");
  condition_block block;
  std::string error;
  ASSERT_TRUE(read_condition(in.cursor, 1, block, error)) << error;
  EXPECT_EQ(block.y[0], static_cast<double>(0.1f));
  EXPECT_EQ(block.y[1], -2.5);
  EXPECT_EQ(block.name_file, "./RESULT/c1.txt");
  // Whatever follows belongs to the next block and is left unread.
  std::string next;
  ASSERT_EQ(next_token(in.cursor, next, 15), token_status::ok);
  EXPECT_EQ(next, "next");
}

TEST(ReadCondition, ErrorsNameTheConditionAndTheToken) {
  EXPECT_EQ(read_block("s t 1 0.5").error,
            "ini.txt: condition 3: expected the initial l (a number), found the end of the file");
  EXPECT_EQ(read_block("s t 1 0.5 x c.txt").error,
            "ini.txt: condition 3: expected the initial l (a number), found \"x\"");
  EXPECT_EQ(read_block("s t 1.0 0.5 0.5 c.txt").error,
            "ini.txt: condition 3: expected the condition's integer field (an integer), found "
            "\"1.0\"");
  EXPECT_EQ(read_block("s t 1 0.5 0.5").error,
            "ini.txt: condition 3: expected the condition's file name, found the end of the "
            "file");
}

TEST(ReadCondition, FileNameLimitIsNinetyNineCharacters) {
  const std::string longest(max_name_length, 'n');
  const block_result ok = read_block("s t 1 0.5 0.5 " + longest);
  ASSERT_TRUE(ok.ok) << ok.error;
  EXPECT_EQ(ok.block.name_file, longest);
  EXPECT_EQ(read_block("s t 1 0.5 0.5 " + longest + "n").error,
            "ini.txt: condition 3: expected the condition's file name, found a token longer "
            "than 99 characters");
}

}  // namespace

namespace {

// catches: a tokenizer that splits at other bytes than "%s" does (a NUL, a byte above 0x7f)
TEST(IniTokens, BlanksAreTheCLocaleSpaces) {
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(is_blank(static_cast<char>(c)), std::isspace(c) != 0) << c;
  }
  const std::string text = std::string(" \v a\0b \xe9\f", 9) + std::string(8, 'x') + "\r\n";
  token_cursor in{text};
  std::string token;
  EXPECT_EQ(next_token(in, token, 10), token_status::ok);
  EXPECT_EQ(token, std::string("a\0b", 3));
  EXPECT_EQ(count_tokens(in), 2U);
  EXPECT_EQ(next_token(in, token, 10), token_status::ok);
  EXPECT_EQ(token, "\xe9");
  EXPECT_EQ(next_token(in, token, 5), token_status::too_long);
  EXPECT_EQ(token, "xxxxx");
  EXPECT_EQ(next_token(in, token, 5), token_status::end_of_text);
}

}  // namespace
