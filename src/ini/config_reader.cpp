// The tokens of ini.txt converted as scanf's "%s", "%d" and "%f" would, except that a token
// must be wholly one number and every problem is reported.
#include "ini/config_reader.hpp"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Number tokens longer than this are rejected rather than held.
constexpr std::size_t max_number_length = 499;

// Where in ini.txt a token is read, for messages: "header" or "condition N".
struct token_place {
  std::string where;
  std::string* error = nullptr;
};

bool fail(const token_place& place, const std::string& what, const std::string& found) {
  *place.error = "ini.txt: " + place.where + ": expected " + what + ", found " + found;
  return false;
}

bool fetch(token_cursor& in, const token_place& place, const std::string& what,
           std::size_t max_length, std::string& token) {
  switch (next_token(in, token, max_length)) {
    case token_status::ok:
      return true;
    case token_status::end_of_text:
      return fail(place, what, "the end of the file");
    case token_status::too_long:
      return fail(place, what, "a token longer than " + std::to_string(max_length) + " characters");
  }
  return false;
}

// Control bytes (a NUL among them) are shown as \xNN: the message stays one printable line.
std::string quoted(const std::string& token) {
  std::string text = "\"";
  for (char c : token) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(byte));
      text += escaped;
    } else {
      text += c;
    }
  }
  return text + "\"";
}

// The conversion must use the whole token; a NUL byte inside it would end the C string early.
bool whole_token(const std::string& token, const char* end) {
  return end != token.c_str() && end == token.c_str() + token.size();
}

bool is_integer(const std::string& token) {
  char* end = nullptr;
  std::strtol(token.c_str(), &end, 10);
  return whole_token(token, end);
}

bool read_word(token_cursor& in, const token_place& place, const std::string& what) {
  std::string token;
  return fetch(in, place, what, max_word_length, token);
}

bool read_int(token_cursor& in, const token_place& place, const std::string& what, int& value) {
  std::string token;
  if (!fetch(in, place, what + " (an integer)", max_number_length, token)) {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(token.c_str(), &end, 10);
  if (!whole_token(token, end)) {
    return fail(place, what + " (an integer)", quoted(token));
  }
  if (errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) {
    return fail(place, what + " (an integer within the range of int)", quoted(token));
  }
  value = static_cast<int>(parsed);
  return true;
}

// Converts straight to single precision, as "%f" does: going through double would round twice.
bool read_float(token_cursor& in, const token_place& place, const std::string& what, float& value) {
  std::string token;
  if (!fetch(in, place, what + " (a number)", max_number_length, token)) {
    return false;
  }
  char* end = nullptr;
  const float parsed = std::strtof(token.c_str(), &end);
  if (!whole_token(token, end)) {
    return fail(place, what + " (a number)", quoted(token));
  }
  // Underflow gives the nearest single-precision value, as "%f" does; overflow would give an
  // infinity that poisons the whole run.
  if (!std::isfinite(parsed)) {
    return fail(place, what + " (a finite number within single precision)", quoted(token));
  }
  value = parsed;
  return true;
}

bool check_positive(const token_place& place, const char* name, float value, const char* why) {
  if (0.0f < value) {
    return true;
  }
  char found[40];
  std::snprintf(found, sizeof found, "%g", static_cast<double>(value));
  *place.error = "ini.txt: header: " + std::string(name) + " must be greater than 0, found " +
                 found + " after rounding to single precision; " + why;
  return false;
}

}  // namespace

bool read_config(token_cursor& in, run_config& config, integration_state& s, model_params& m,
                 std::string& error) {
  const token_place place{"header", &error};
  int n_conditions = 0;
  int n_points = 0;
  float h0 = 0.0f;
  float tol = 0.0f;
  float eps = 0.0f;
  float L = 0.0f;
  std::string third_word;
  const bool titled = read_word(in, place, "the first label word") &&
                      read_word(in, place, "the second label word") &&
                      fetch(in, place, "the third label word", max_word_length, third_word);
  if (!titled) {
    return false;
  }
  const bool read = read_int(in, place, "n_conditions", n_conditions) &&
                    read_int(in, place, "n_points", n_points) && read_float(in, place, "h0", h0) &&
                    read_float(in, place, "tol", tol) && read_float(in, place, "eps", eps) &&
                    read_word(in, place, "the label word before L") &&
                    read_word(in, place, "the second label word before L") &&
                    read_float(in, place, "L", L);
  if (!read) {
    // With a title word missing, n_conditions is taken for the third word and every number
    // after it slides one place: the error then names a field the user wrote correctly.
    if (is_integer(third_word)) {
      error += "; the header begins with three title words, and the third here is the number " +
               quoted(third_word) + ": is a title word missing?";
    }
    return false;
  }
  if (!check_positive(place, "tol", tol, "the step-size control never ends otherwise") ||
      !check_positive(place, "eps", eps, "the crossing refinement never ends otherwise")) {
    return false;
  }
  if (h0 == 0.0f) {
    error =
        "ini.txt: header: h0 must not be 0 (after rounding to single precision); the "
        "integration never advances otherwise";
    return false;
  }
  config.n_conditions = n_conditions;
  config.n_points = n_points;
  config.tol = static_cast<double>(tol);
  config.eps = static_cast<double>(eps);
  s.h = static_cast<double>(h0);
  m.L = L;
  return true;
}

bool read_condition(token_cursor& in, int condition, condition_block& block, std::string& error) {
  const token_place place{"condition " + std::to_string(condition), &error};
  int bufint = 0;
  float phi = 0.0f;
  float l = 0.0f;
  std::string name;
  const bool read = read_word(in, place, "the first label word") &&
                    read_word(in, place, "the second label word") &&
                    read_int(in, place, "the condition's integer field", bufint) &&
                    read_float(in, place, "the initial phi", phi) &&
                    read_float(in, place, "the initial l", l) &&
                    fetch(in, place, "the condition's file name", max_name_length, name);
  if (!read) {
    return false;
  }
  // The name is opened as a C string: a NUL byte would cut it and another file be written.
  if (name.find('\0') != std::string::npos) {
    return fail(place, "the condition's file name", quoted(name) + ", which holds a NUL byte");
  }
  block.y[0] = static_cast<double>(phi);
  block.y[1] = static_cast<double>(l);
  block.name_file = name;
  return true;
}
