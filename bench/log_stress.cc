// Many processes appending to one run log across a rotation. Each trial writes less
// than twice the size limit, so one rotation must keep every line in the log or its
// backup; a lost backup generation or a torn line shows as a missing or foreign line.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "log/run_log.h"

namespace fs = std::filesystem;

namespace {

std::string line_text(int process, int line) {
  char text[128];
  std::snprintf(text, sizeof text, "stress p%03d l%05d ..........................................",
                process, line);
  return text;
}

void read_lines(const fs::path& path, std::map<std::string, int>& seen, long& unended) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream all;
  all << file.rdbuf();
  std::string data = all.str();
  if (!data.empty() && data.back() != '\n') ++unended;
  std::size_t start = 0;
  for (std::size_t end; (end = data.find('\n', start)) != std::string::npos; start = end + 1)
    ++seen[data.substr(start, end - start)];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: kestal-log-stress FOLDER PROCESSES LINES TRIALS\n");
    return 2;
  }
  fs::path folder = argv[1];
  int processes = std::atoi(argv[2]), lines = std::atoi(argv[3]), trials = std::atoi(argv[4]);
  std::int64_t written = static_cast<std::int64_t>(processes) * lines *
                         static_cast<std::int64_t>(line_text(0, 0).size() + 1);
  RunLog log{(folder / "stress.log").string(), (folder / "stress.bak").string(), written * 2 / 3};
  fs::create_directories(folder);
  int bad_trials = 0;
  long lost_total = 0, foreign_total = 0;
  for (int trial = 0; trial < trials; ++trial) {
    fs::remove(log.path);
    fs::remove(log.backup_path);
    for (int p = 0; p < processes; ++p) {
      pid_t pid = fork();
      if (pid == 0) {
        for (int l = 0; l < lines; ++l) log_line(log, line_text(p, l));
        _exit(0);
      }
    }
    while (wait(nullptr) > 0) {
    }
    std::map<std::string, int> seen;
    long unended = 0;
    read_lines(log.backup_path, seen, unended);
    read_lines(log.path, seen, unended);
    long lost = 0, foreign = unended;
    for (int p = 0; p < processes; ++p)
      for (int l = 0; l < lines; ++l) {
        auto it = seen.find(line_text(p, l));
        if (it == seen.end()) {
          ++lost;
          continue;
        }
        if (--it->second == 0) seen.erase(it);
      }
    for (const auto& [text, count] : seen) foreign += count;
    if (lost != 0 || foreign != 0) ++bad_trials;
    lost_total += lost;
    foreign_total += foreign;
  }
  std::printf(
      "%d trials of %d processes x %d lines: %d lost or tore lines (%ld lost, %ld foreign)\n",
      trials, processes, lines, bad_trials, lost_total, foreign_total);
  return bad_trials == 0 ? 0 : 1;
}
