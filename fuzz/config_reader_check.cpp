// The promises of read_config and read_condition, checked against a second, independent
// split of the input into tokens.
#include "config_reader_check.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ini/config_reader.hpp"

namespace {

// The blanks of the C locale, where "%s" ends a token.
bool is_blank(char c) { return c != '\0' && std::strchr(" \t\n\v\f\r", c) != nullptr; }

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    if (is_blank(text[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && !is_blank(text[i])) {
      ++i;
    }
    tokens.push_back(text.substr(start, i - start));
  }
  return tokens;
}

// The token converted as a whole to single precision; false when any byte is left over.
bool whole_float(const std::string& token, double& value) {
  char* end = nullptr;
  value = static_cast<double>(std::strtof(token.c_str(), &end));
  return end == token.c_str() + token.size();
}

// A message is one printable line: a control byte could end the line or drive the terminal.
bool printable_line(const std::string& message) {
  for (char c : message) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      return false;
    }
  }
  return true;
}

std::string check_error(const std::string& error, const std::string& prefix) {
  if (error.rfind(prefix, 0) != 0 || error.size() == prefix.size()) {
    return "error without the prefix \"" + prefix + "\" or without text: " + error;
  }
  return printable_line(error) ? "" : "error holding a control byte: " + error;
}

// A value read from `token` (single precision, widened) must be what the token says, wholly.
std::string check_number(const std::string& what, double value, const std::string& token) {
  double expected = 0.0;
  if (!whole_float(token, expected) || !std::isfinite(value) ||
      std::memcmp(&value, &expected, sizeof value) != 0) {
    return what + " read as " + std::to_string(value) + " from the token \"" + token + "\"";
  }
  return "";
}

std::string check_header(const std::vector<std::string>& tokens, const run_config& config,
                         const integration_state& s, const model_params& m) {
  if (tokens.size() < 11) {
    return "header read from only " + std::to_string(tokens.size()) + " tokens";
  }
  for (std::size_t i : {0U, 1U, 2U, 8U, 9U}) {
    if (tokens[i].size() > max_word_length) {
      return "label word of " + std::to_string(tokens[i].size()) + " bytes accepted";
    }
  }
  for (const auto& [value, i] : {std::pair{config.n_conditions, 3U}, {config.n_points, 4U}}) {
    char* end = nullptr;
    const long expected = std::strtol(tokens[i].c_str(), &end, 10);
    if (end != tokens[i].c_str() + tokens[i].size() || value != expected) {
      return "count read as " + std::to_string(value) + " from \"" + tokens[i] + "\"";
    }
  }
  std::string problem = check_number("h0", s.h, tokens[5]) +
                        check_number("tol", config.tol, tokens[6]) +
                        check_number("eps", config.eps, tokens[7]) +
                        check_number("L", static_cast<double>(m.L), tokens[10]);
  if (!(0.0 < config.tol) || !(0.0 < config.eps) || s.h == 0.0) {
    problem += "tol, eps or h0 accepted though the run could never end";
  }
  return problem;
}

std::string check_block(const std::vector<std::string>& tokens, std::size_t first,
                        const condition_block& block) {
  if (tokens.size() < first + 6) {
    return "condition block read past the last token";
  }
  std::string problem;
  for (std::size_t i : {first, first + 1}) {
    if (tokens[i].size() > max_word_length) {
      problem += "label word of " + std::to_string(tokens[i].size()) + " bytes accepted; ";
    }
  }
  char* end = nullptr;
  std::strtol(tokens[first + 2].c_str(), &end, 10);
  if (end != tokens[first + 2].c_str() + tokens[first + 2].size()) {
    problem += "integer field \"" + tokens[first + 2] + "\" accepted; ";
  }
  problem += check_number("phi0", block.y[0], tokens[first + 3]) +
             check_number("l0", block.y[1], tokens[first + 4]);
  const std::string& name = block.name_file;
  // A NUL byte would cut the name where the file is opened: another file would be written.
  if (name != tokens[first + 5] || name.empty() || name.size() > max_name_length ||
      name.find('\0') != std::string::npos) {
    problem += "file name of " + std::to_string(name.size()) + " bytes accepted";
  }
  return problem;
}

}  // namespace

std::string check_config_input(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> tokens = split(text);
  token_cursor in{text};
  run_config config;
  integration_state s;
  model_params m;
  std::string error;
  std::string problem;
  if (!read_config(in, config, s, m, error)) {
    problem = check_error(error, "ini.txt: header: ");
  } else {
    problem = check_header(tokens, config, s, m);
    // Each block that is read takes six tokens, so the loop ends with the input.
    for (int i = 1; problem.empty() && i <= config.n_conditions; ++i) {
      condition_block block;
      error.clear();
      if (!read_condition(in, i, block, error)) {
        problem = check_error(error, "ini.txt: condition " + std::to_string(i) + ": ");
        break;
      }
      problem = check_block(tokens, 11 + 6 * static_cast<std::size_t>(i - 1), block);
    }
  }
  return problem;
}
