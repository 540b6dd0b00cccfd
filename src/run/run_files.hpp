// The files of a run: their paths, the streams the driver holds, and the messages for them.
#pragma once

#include <cstdio>
#include <string>

constexpr const char* ini_path = "ini.txt";
constexpr const char* common_path = "./RESULT/common_res.txt";
constexpr const char* points_path = "./RESULT/lL.txt";
constexpr const char* integration_path = "./RESULT/integrir_res.txt";

struct run_streams {
  std::FILE* ini = nullptr;
  std::FILE* common = nullptr;
  std::FILE* points = nullptr;
  std::FILE* integration = nullptr;
};

// Writes "trivella: <message>" as one line on stderr, after what stdout holds.
void report(const std::string& message);

// Closes in the fixed order ini.txt, common, points, integration. Returns false, with the
// reason in `error`, when a result file could not be written completely.
bool close_streams(run_streams& f, std::string& error);

// Why `path` could not be opened for writing, from errno, with the fix for a missing RESULT.
std::string cannot_create(const std::string& path);

// Why writing `path` failed, from errno.
std::string write_failed(const std::string& path);

// True when `name` is ini.txt or a result file: opening it for writing would destroy it.
bool names_a_run_file(const std::string& name);
