// ini.txt text held in memory and read through the reader, for the reader's tests.
#pragma once

#include <string>
#include <utility>

#include "ini/config_reader.hpp"

// The text and the reader's cursor on it.
struct text_stream {
  std::string text;
  token_cursor cursor;
  explicit text_stream(std::string t) : text(std::move(t)), cursor{text} {}
  text_stream(const text_stream&) = delete;
  text_stream& operator=(const text_stream&) = delete;
};

struct header_result {
  bool ok = false;
  run_config config;
  integration_state s;
  model_params m;
  std::string error;
};

inline header_result read_header(const std::string& text) {
  text_stream in(text);
  header_result r;
  r.ok = read_config(in.cursor, r.config, r.s, r.m, r.error);
  return r;
}
