#pragma once

#include "grid_description.h"

#include <string>

// Time through the components: a window of consecutive components that slides one step at a
// time, as playback and the batch tool's frames move it, and what is said about it. The
// numbers here count components from 0 unless a name says otherwise; words a person types or
// reads count them from 1. No Qt.

// "FIRST:LAST" as a person types it (components counted from 1): two whole numbers of at
// least 1 with FIRST <= LAST; a lone "K" is the window K:K. False for anything else.
bool parse_component_window(const std::string& word, int& first, int& last);

// Why the window FIRST:LAST (counted from 1) does not fit a grid of `components`, or empty
// when it does: "--window 3:14 ends past the grid's 12 components".
std::string component_window_misfit(int first, int last, int components);

// The positions a window of `width` components takes from the first component to the last:
// components - width + 1 (0 when it does not fit).
int window_positions(int width, int components);

// The first component of the window one step on: the next position, back to the start after
// the last one.
int next_window_first(int first, int width, int components);

// The coordinate of component `index` (from 0) as the file gives it: a date for time units
// such as "days since 2001-01-01" ("2001-04-15", with the time of day when it is not
// midnight), else the number with its units ("150 m"); empty without coordinates.
std::string component_coordinate_text(const GridAxis& components, int index);

// What playback shows for the window first..last (from 0) of `count` components: "Component
// 3 of 12" or "Components 3-5 of 12", then the coordinates of the components' dimension when
// the file has them ("Component 2 of 2: TIME 2001-07-15"), or the names of the variables that
// became them ("Components 1-2 of 2: SST, AIRT").
std::string component_window_label(const GridDescription& description, int first, int last,
                                   int count);
