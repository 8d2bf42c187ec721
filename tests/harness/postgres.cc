// The loopback PostgreSQL cluster as the end-to-end tests see it.
#include "harness/postgres.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "harness/install_tree.h"
#include "harness/process.h"

std::string env_or_empty(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string psql(const std::string& sql) {
  ProcessResult r =
      run_process("/usr/bin/psql", {"-X", "-A", "-t", "-q", "-v", "ON_ERROR_STOP=1", "-c", sql},
                  std::filesystem::temp_directory_path().string());
  EXPECT_EQ(r.exit_code, 0) << "psql failed for: " << sql << "\n" << r.err;
  return r.out;
}

std::uintmax_t server_log_size() {
  std::error_code ec;
  std::uintmax_t size = std::filesystem::file_size(env_or_empty("KESTAL_PG_LOG"), ec);
  return ec ? 0 : size;
}

std::vector<std::string> statements_logged_since(std::uintmax_t offset) {
  std::string log = read_whole_file(env_or_empty("KESTAL_PG_LOG"));
  std::vector<std::string> statements;
  if (offset > log.size()) return statements;
  const std::string marker = "statement: ";
  std::size_t pos = offset;
  while ((pos = log.find(marker, pos)) != std::string::npos) {
    std::size_t start = pos + marker.size();
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    statements.push_back(log.substr(start, end - start));
    pos = end;
  }
  return statements;
}

std::string sql_quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

void add_terminal_row(const std::string& name) {
  psql(
      "INSERT INTO vxsystem.vxs1140trm (trmnam, trmdbe, trmdtp, trmdst, trmdpg, trmdac) "
      "VALUES (" +
      sql_quoted(name) + ", 'night', 3, 7, 5, 0);");
}

void add_site_rows(const std::vector<std::pair<std::string, std::string>>& sites) {
  for (const auto& [number, status] : sites)
    psql("INSERT INTO vxsystem.vxs113sto (stonum, stosta) VALUES (" + sql_quoted(number) + ", " +
         status + ");");
}

std::string status_row_text(const std::string& name) {
  return psql(
      "SELECT trmdbe, trmdnm, trmdtp, trmdst, trmdpg, trmdac FROM vxsystem.vxs1140trm "
      "WHERE trmnam = " +
      sql_quoted(name) + ";");
}
