// Command lines through getopt_long: the option table is built from the caller's
// rows, and each option's value is its row index past getopt's own values.
#include "command_line.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

bool parse_count(const std::string& text, long low, long high, int& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  out = static_cast<int>(value);
  return true;
}

CliResult read_command_line(int argc, char** argv, const std::vector<CliOption>& options,
                            const std::function<bool(std::size_t, const std::string&)>& on_option,
                            const std::function<void(const std::string&)>& on_word,
                            std::string& error) {
  constexpr int kFirst = 1000;  // above getopt's 1 (a word) and '?'
  const int help = kFirst + static_cast<int>(options.size());
  const int version = help + 1;
  std::vector<option> table;
  table.reserve(options.size() + 3);
  for (const CliOption& o : options)
    table.push_back({o.name, o.takes_argument ? required_argument : no_argument, nullptr,
                     kFirst + static_cast<int>(table.size())});
  table.push_back({"help", no_argument, nullptr, help});
  table.push_back({"version", no_argument, nullptr, version});
  table.push_back({nullptr, 0, nullptr, 0});
  optind = 1;
  opterr = 0;
  int c;
  // "-" hands words over in order; without a word handler they stop the scan.
  while ((c = getopt_long(argc, argv, on_word ? "-" : "", table.data(), nullptr)) != -1) {
    if (c == help) return CliResult::kHelp;
    if (c == version) return CliResult::kVersion;
    if (c == 1) {
      on_word(optarg);
    } else if (c < kFirst || c > help) {
      error = std::string("unknown or incomplete option: ") +
              (optind > 0 && optind <= argc ? argv[optind - 1] : "?");
      return CliResult::kError;
    } else if (!on_option(static_cast<std::size_t>(c - kFirst), optarg != nullptr ? optarg : "")) {
      return CliResult::kError;
    }
  }
  if (optind < argc) {
    error = std::string("unexpected argument: ") + argv[optind];
    return CliResult::kError;
  }
  return CliResult::kRun;
}

int answer_command_line(CliResult result, const char* program, const char* usage,
                        const char* version, const std::string& error) {
  if (result == CliResult::kHelp) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (result == CliResult::kVersion) {
    std::printf("%s %s\n", program, version);
    return 0;
  }
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program, error.c_str(), program);
  return 2;
}
