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

// True when paths a and b name one file: links are followed, even to a target that does not
// exist yet (writing through the link would create it); hard links count where both exist.
bool same_file(const std::string& a, const std::string& b);

// The errno with which opening `path` with "w" would fail for want of a directory or of
// permission (ENOENT, ENOTDIR, EISDIR, EACCES, ...), or 0. Creates nothing.
int creation_error(const std::string& path);

// Why the run must not start: a result file (among `results`) or a condition file that is
// ini.txt or another result file, or one that cannot be created. Empty when none. `dir` is
// the run's directory as the user named it (empty: the current one), for the hints.
std::string overwrite_problem(const std::vector<std::string>& results,
                              const std::vector<condition_block>& blocks, const std::string& dir);

// Why `path` could not be opened for writing, from errno, with the fix for a missing RESULT.
std::string cannot_create(const std::string& path, const std::string& dir = {});

// Creates `path` empty, or truncates it; false with `error` set.
bool create_empty(const std::string& path, std::string& error);

// Removes each file of `own_kind` that is not among `written`, so that RESULT/ never holds
// the files of two runs side by side. A missing file is no error.
void remove_stale(const std::vector<std::string>& own_kind,
                  const std::vector<std::string>& written);
