// The result files of the map's skeleton: RESULT/rotation.txt and RESULT/periodic.txt.
#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "skeleton/periodic_orbit.hpp"
#include "skeleton/rotation_number.hpp"

constexpr const char* rotation_path = "./RESULT/rotation.txt";
constexpr const char* periodic_path = "./RESULT/periodic.txt";

// An orbit whose two halves agree to fewer digits than this is called chaotic.
constexpr double regular_digits = 4.0;

// Creates RESULT/rotation.txt with its two header lines, as chaos.txt has. False with `error`.
bool open_rotation_file(std::FILE*& f, std::string& error);

// One line: condition, phi0, l0, rotation, kind, digits, points and the verdict as the last
// word (regular, chaotic, or undecided when the orbit was too short).
void write_rotation_line(std::FILE* f, int condition, const std::array<double, 2>& y0,
                         const rotation_summary& r);

// Creates RESULT/periodic.txt with its header: the period asked for, then the column names.
bool open_periodic_file(std::FILE*& f, int Q, std::string& error);

// One line: the condition, q, phi*, l*, residual, iterations, trace, residue, det, the two
// multipliers as (re, im), the kind, and for not-converged the reason in words.
void write_periodic_line(std::FILE* f, int condition, const periodic_orbit& o);

// Closes f (if open); false with `error` set when the writes failed.
bool close_skeleton_file(std::FILE*& f, const char* path, std::string& error);
