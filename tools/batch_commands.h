#pragma once

// Sub-commands of halvorn-batch. Each takes the arguments after the command word and returns
// the exit status: 0 success, 1 a failure reported on standard error, 2 bad usage.
int run_info(int argc, char** argv);
int run_classify(int argc, char** argv);
int run_render(int argc, char** argv);

// The usage text printed by --help and on bad usage.
extern const char* const batch_usage;
