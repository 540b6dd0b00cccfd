// The one tokenizer of ini.txt: the reader, the count of tokens left over and the warnings all
// see the text through it, so they cannot disagree on where a token starts or ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A position in ini.txt text held in memory. The text must outlive the cursor.
struct token_cursor {
  std::string_view text;
  std::size_t at = 0;
};

enum class token_status { ok, end_of_text, too_long };

// The blanks of the C locale's isspace: space, \t, \n, \v, \f and \r. Every other byte, NUL
// and bytes above 0x7f included, belongs to a token.
bool is_blank(char c);

// Reads the next run of non-blank bytes, as scanf's "%s" does. A token longer than max_length
// is consumed and reported, never stored beyond max_length.
token_status next_token(token_cursor& in, std::string& token, std::size_t max_length);

// The tokens from the cursor's position to the end of the text.
std::size_t count_tokens(token_cursor in);
