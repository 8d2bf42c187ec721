// The companions' GNU-style command lines, read from a table of long options, with
// --help and --version for every program.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct CliOption {
  const char* name;
  bool takes_argument;
};

enum class CliResult { kRun, kHelp, kVersion, kError };

// Calls `on_option` with the option's index in `options` and its argument (false:
// refused, with `error` set by it) and `on_word` for each other word (null: words are
// refused). Stops at --help or --version.
CliResult read_command_line(int argc, char** argv, const std::vector<CliOption>& options,
                            const std::function<bool(std::size_t, const std::string&)>& on_option,
                            const std::function<void(const std::string&)>& on_word,
                            std::string& error);

// What a companion does with a command line that asks for no run: the usage or the
// version on standard output (exit code 0), or the error and a hint on standard error
// (exit code 2).
int answer_command_line(CliResult result, const char* program, const char* usage,
                        const char* version, const std::string& error);

// A companion's main: reads the command line with `parse`, answers --help, --version
// and errors as answer_command_line does, and otherwise hands the options to `run`.
template <typename Options>
int run_companion(int argc, char** argv, const char* program, const char* usage,
                  const char* version, CliResult (*parse)(int, char**, Options&, std::string&),
                  int (*run)(const Options&)) {
  Options options;
  std::string error;
  const CliResult result = parse(argc, argv, options, error);
  if (result != CliResult::kRun) return answer_command_line(result, program, usage, version, error);
  return run(options);
}

// A decimal number in [low, high] and nothing else.
bool parse_count(const std::string& text, long low, long high, int& out);
