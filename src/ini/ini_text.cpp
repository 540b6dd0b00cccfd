// Reading ini.txt whole and parsing it with the token reader, every used block up front.
#include "ini/ini_text.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"
#include "ini/ini_tokens.hpp"

namespace {

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

bool slurp(const char* path, std::string& text, std::string& error) {
  const file_handle in(std::fopen(path, "r"));
  if (!in) {
    error = std::string("cannot open ") + path + ": " + std::strerror(errno) +
            " (run trivella in a directory that holds ini.txt, or name one: trivella DIR)";
    return false;
  }
  // Read in chunks, so that a small file costs little memory. One byte more than allowed
  // tells a file at the limit from a larger one; /dev/zero and other endless files stop there.
  char chunk[1 << 16];
  std::size_t got = 0;
  while (text.size() <= max_ini_size && (got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0) {
    text.append(chunk, got);
  }
  if (std::ferror(in.get()) != 0) {
    error = std::string("cannot read ") + path + ": " + std::strerror(errno);
    return false;
  }
  if (text.size() > max_ini_size) {
    error = std::string(path) + " is larger than " + std::to_string(max_ini_size >> 20) +
            " MiB; it is not a configuration file of this program";
    return false;
  }
  return true;
}

}  // namespace

bool read_ini(const char* path, ini_contents& ini, std::string& error) {
  std::string text;
  return slurp(path, text, error) && read_ini_text(text, ini, error);
}

bool read_ini_text(const std::string& text, ini_contents& ini, std::string& error) {
  token_cursor in{text};
  integration_state s;
  model_params m;
  if (!read_config(in, ini.config, s, m, error)) {
    ini.warnings = ini_warnings(text, ini, false, 0);
    return false;
  }
  ini.h0 = s.h;
  ini.L = m.L;
  for (int i = 1; i <= ini.config.n_conditions; ++i) {
    condition_block block;
    if (!read_condition(in, i, block, error)) {
      ini.warnings = ini_warnings(text, ini, true, 0);
      return false;
    }
    ini.blocks.push_back(std::move(block));
  }
  ini.warnings = ini_warnings(text, ini, true, count_tokens(in));
  return true;
}
