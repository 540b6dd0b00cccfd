// Whitespace-separated tokens of ini.txt text.
#include "ini/ini_tokens.hpp"

bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

token_status next_token(token_cursor& in, std::string& token, std::size_t max_length) {
  token.clear();
  const std::string_view text = in.text;
  while (in.at < text.size() && is_blank(text[in.at])) {
    ++in.at;
  }
  if (in.at == text.size()) {
    return token_status::end_of_text;
  }
  const std::size_t start = in.at;
  while (in.at < text.size() && !is_blank(text[in.at])) {
    ++in.at;
  }
  const std::size_t length = in.at - start;
  token.assign(text.substr(start, length < max_length ? length : max_length));
  return length > max_length ? token_status::too_long : token_status::ok;
}

std::size_t count_tokens(token_cursor in) {
  std::size_t tokens = 0;
  std::string token;
  while (next_token(in, token, 0) != token_status::end_of_text) {
    ++tokens;
  }
  return tokens;
}
