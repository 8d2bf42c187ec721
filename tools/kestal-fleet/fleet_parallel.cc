// GNU parallel as the engine of a push: started once per round with the names in a
// file, the program, user and mode as its own quoted arguments (never through a
// shell of ours), and watched through its job log while it runs.
#include "fleet_parallel.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Every value reaches the job as one argument: user, names and mode are input
// sources, so GNU parallel quotes them itself and never reads them as templates.
std::vector<std::string> parallel_arguments(const RoundPlan& s, const std::string& names_file) {
  std::vector<std::string> a = {
      "parallel",  "--will-cite",          "-0",       "-q",
      "--jobs",    std::to_string(s.jobs), "--joblog", (s.append ? "+" : "") + s.joblog,
      "--results", s.scratch + "/out/{#}"};
  if (s.timeout > 0) a.insert(a.end(), {"--timeout", std::to_string(s.timeout)});
  if (!s.sshloginfile.empty())
    a.insert(a.end(), {"--sshloginfile", s.sshloginfile, "--workdir", s.workdir});
  a.insert(a.end(),
           {s.kestalentry, "{1}", "{2}", "{3}", ":::", s.user, "::::", names_file, ":::", s.mode});
  return a;
}

bool start(const std::vector<std::string>& arguments, const std::string& scratch, pid_t& pid,
           std::string& error) {
  std::string errors = scratch + "/parallel.err";
  std::error_code exists;  // a second round finds it made
  std::filesystem::create_directory(scratch + "/parallel", exists);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // GNU parallel keeps its caches in PARALLEL_HOME: a push leaves the user's home alone.
  std::string home = "PARALLEL_HOME=" + scratch + "/parallel";
  std::vector<char*> env{const_cast<char*>(home.c_str())};
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "PARALLEL_HOME=", 14) != 0) env.push_back(*e);
  env.push_back(nullptr);
  int rc = posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&files);
  if (rc == 0) return true;
  error = rc == ENOENT ? "GNU parallel not found (install the package parallel)"
                       : std::string("cannot start GNU parallel: ") + std::strerror(rc);
  return false;
}

// Seq, Host, Starttime, JobRuntime, Send, Receive, Exitval, Signal, Command.
bool parse_joblog_line(const std::string& line, std::size_t count, JobRecord& job) {
  std::vector<std::string> f;
  std::size_t at = 0;
  while (f.size() < 8) {
    std::size_t tab = line.find('\t', at);
    if (tab == std::string::npos) return false;
    f.push_back(line.substr(at, tab - at));
    at = tab + 1;
  }
  char* end = nullptr;
  unsigned long seq = std::strtoul(f[0].c_str(), &end, 10);
  if (f[0].empty() || *end != '\0' || seq < 1 || seq > count) return false;
  job.index = seq - 1;
  job.host = f[1] == ":" ? "local" : f[1];
  job.start_unix = std::strtod(f[2].c_str(), nullptr);
  job.seconds = std::strtod(f[3].c_str(), nullptr);
  int exit_value = std::atoi(f[6].c_str());
  job.killed = exit_value < 0 || std::atoi(f[7].c_str()) != 0;
  job.exit_status = exit_value & 0xFF;
  return true;
}

// Reports the jobs whose log lines arrived since `offset`.
void take_new_jobs(const RoundPlan& plan, std::size_t& offset, std::set<std::size_t>& reported,
                   const std::function<void(const JobRecord&)>& on_done) {
  std::string text = read_file(plan.joblog);
  if (text.size() < offset) offset = 0;  // replaced under us: read it whole
  for (;;) {
    std::size_t end = text.find('\n', offset);
    if (end == std::string::npos) return;
    std::string line = text.substr(offset, end - offset);
    offset = end + 1;
    JobRecord job;
    if (!parse_joblog_line(line, plan.names.size(), job) || !reported.insert(job.index).second)
      continue;
    job.output = read_file(plan.scratch + "/out/" + std::to_string(job.index + 1));
    on_done(job);
  }
}

}  // namespace

bool run_round(const RoundPlan& plan, const std::function<void(const JobRecord&)>& on_done,
               std::string& error) {
  std::string names_file = plan.scratch + "/names";
  {
    std::ofstream names(names_file, std::ios::binary | std::ios::trunc);
    for (const std::string& name : plan.names) names << name << '\0';
  }
  // A job log left from an earlier push must not be read as this round's.
  if (!plan.append) std::ofstream(plan.joblog, std::ios::trunc).close();
  std::error_code ignored;
  std::uintmax_t size = std::filesystem::file_size(plan.joblog, ignored);
  std::size_t offset = ignored ? 0 : static_cast<std::size_t>(size);
  pid_t pid = -1;
  if (!start(parallel_arguments(plan, names_file), plan.scratch, pid, error)) return false;
  std::set<std::size_t> reported;
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    take_new_jobs(plan, offset, reported, on_done);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (reported.size() == plan.names.size()) return true;
  std::string said = read_file(plan.scratch + "/parallel.err");
  error = "GNU parallel ended after " + std::to_string(reported.size()) + " of " +
          std::to_string(plan.names.size()) + " transfers" + (said.empty() ? "" : ":\n" + said);
  return false;
}

std::string sibling_program(const char* name) {
  std::error_code failed;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
  if (!failed) {
    std::filesystem::path beside = self.parent_path() / name;
    if (access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return name;
}
