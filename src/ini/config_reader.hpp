// Reader of ini.txt: the header once, then one condition block at a time, each from where the
// cursor stands and leaving it after the last token read.
#pragma once

#include <array>
#include <string>

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"
#include "dynamics/run_config.hpp"
#include "ini/ini_tokens.hpp"

// Longest label word and condition file name that the reader takes.
constexpr std::size_t max_word_length = 499;
constexpr std::size_t max_name_length = 99;

// One condition block: the initial state (each number rounded to single precision, then
// widened) and the name of the condition's own file.
struct condition_block {
  std::array<double, 2> y{};
  std::string name_file;
};

// Reads the header: fills `config`, h of `s` (from h0) and L of `m`. Returns false and sets
// `error` when a token is missing, malformed or out of range, or when tol <= 0, eps <= 0 or
// h0 == 0 (values for which the integration never ends).
bool read_config(token_cursor& in, run_config& config, integration_state& s, model_params& m,
                 std::string& error);

// Reads the block of condition number `condition` (used in messages). Returns false and sets
// `error` when a token is missing, malformed or out of range.
bool read_condition(token_cursor& in, int condition, condition_block& block, std::string& error);
