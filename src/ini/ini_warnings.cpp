// Warnings about an ini.txt that reads as valid but probably says something else than meant.
#include <cstdlib>
#include <string>
#include <vector>

#include "ini/ini_text.hpp"
#include "ini/ini_tokens.hpp"

namespace {

bool is_number(const std::string& token) {
  char* end = nullptr;
  std::strtod(token.c_str(), &end);
  return end != token.c_str() && *end == '\0';
}

std::vector<std::string> split_tokens(const std::string& text, std::size_t at_most) {
  std::vector<std::string> tokens;
  token_cursor in{text};
  std::string token;
  while (tokens.size() < at_most && next_token(in, token, text.size()) == token_status::ok) {
    tokens.push_back(token);
  }
  return tokens;
}

// UTF-16 text holds a NUL byte beside nearly every ASCII character, or starts with a BOM.
bool looks_like_utf16(const std::string& text) {
  if (text.size() >= 2 &&
      ((text[0] == '\xff' && text[1] == '\xfe') || (text[0] == '\xfe' && text[1] == '\xff'))) {
    return true;
  }
  std::size_t nul = 0;
  for (char c : text) {
    nul += c == '\0' ? 1 : 0;
  }
  return !text.empty() && 3 * nul >= text.size();
}

}  // namespace

std::vector<std::string> ini_warnings(const std::string& text, const ini_contents& ini,
                                      bool header_read, std::size_t unread_tokens) {
  std::vector<std::string> warnings;
  if (looks_like_utf16(text)) {
    warnings.push_back("ini.txt looks like UTF-16 text; save it as plain text (ASCII or UTF-8)");
  }
  if (!header_read) {
    return warnings;
  }
  // The header's eleventh token is L.
  constexpr std::size_t L_token = 10;
  const std::vector<std::string> header = split_tokens(text, L_token + 1);
  if (header.size() > L_token && ini.L == 0.0f &&
      std::strtod(header[L_token].c_str(), nullptr) != 0.0) {
    warnings.push_back("ini.txt: header: L = " + header[L_token] +
                       " rounds to 0 in single precision; every l / L will be inf or nan");
  }
  if (ini.config.n_conditions < 1) {
    warnings.push_back("ini.txt: header: n_conditions is " +
                       std::to_string(ini.config.n_conditions) +
                       ": no condition is run, and the run leaves RESULT/lL.txt empty");
  }
  int numbered = 0;
  int first_numbered = 0;
  for (std::size_t i = 0; i < ini.blocks.size(); ++i) {
    if (is_number(ini.blocks[i].name_file)) {
      first_numbered = numbered == 0 ? static_cast<int>(i) + 1 : first_numbered;
      ++numbered;
    }
  }
  if (numbered > 0) {
    std::string w = "ini.txt: condition " + std::to_string(first_numbered) + ": the file name \"" +
                    ini.blocks[static_cast<std::size_t>(first_numbered - 1)].name_file +
                    "\" is a number; is a token missing or extra in a block?";
    if (numbered > 1) {
      w += " (" + std::to_string(numbered - 1) + " more conditions alike)";
    }
    warnings.push_back(w);
  }
  constexpr std::size_t tokens_per_block = 6;
  if (unread_tokens > 0) {
    std::string w = "ini.txt: " + std::to_string(unread_tokens) + " tokens after the " +
                    std::to_string(ini.blocks.size()) + " blocks that n_conditions asks for";
    if (unread_tokens >= tokens_per_block) {
      w += " (about " + std::to_string(unread_tokens / tokens_per_block) + " more blocks)";
    }
    warnings.push_back(w + " are not run");
  }
  return warnings;
}
