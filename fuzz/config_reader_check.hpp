// Checks on the ini.txt reader for arbitrary input bytes, shared by the fuzzer and the replay
// of its corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads `data` as ini.txt: the header, then condition blocks until one fails or n_conditions
// are read. Returns "" when every result keeps the reader's promises, else what was broken.
std::string check_config_input(const std::uint8_t* data, std::size_t size);
