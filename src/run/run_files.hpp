// The files of a run: their paths, the checks that keep a run from destroying its own input,
// and the messages about them.
#pragma once

#include <string>
#include <vector>

#include "ini/config_reader.hpp"

constexpr const char* ini_path = "ini.txt";
constexpr const char* common_path = "./RESULT/common_res.txt";
constexpr const char* points_path = "./RESULT/lL.txt";
constexpr const char* integration_path = "./RESULT/integrir_res.txt";
constexpr const char* run_info_path = "./RESULT/run_info.txt";
constexpr const char* chaos_path = "./RESULT/chaos.txt";

// True when paths a and b name one file: the same file where both exist (links included),
// else the same path once normalised.
bool same_file(const std::string& a, const std::string& b);

// Why the run would overwrite ini.txt or write one result file over another: a result file
// (among `results`) or a condition file that is ini.txt or another result file. Empty when
// none does.
std::string overwrite_problem(const std::vector<std::string>& results,
                              const std::vector<condition_block>& blocks);

// Why `path` could not be opened for writing, from errno, with the fix for a missing RESULT.
std::string cannot_create(const std::string& path);

// Creates `path` empty, or truncates it; false with `error` set.
bool create_empty(const std::string& path, std::string& error);
