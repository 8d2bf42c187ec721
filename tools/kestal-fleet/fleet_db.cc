// kestal-fleet's database access through the project's settings and database code.
// Nothing is written to the run log: that belongs to the transfers.
#include "fleet_db.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>

#include "log/report.h"
#include "platform/paths.h"
#include "settings/credentials.h"

namespace {

// Lines of a stream; a CR before the LF is dropped, empty lines are skipped.
void read_names(std::istream& in, std::vector<std::string>& names) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) names.push_back(line);
  }
}

bool names_from_file(const std::string& path, std::vector<std::string>& names, std::string& error) {
  if (path == "-") {
    read_names(std::cin, names);
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  read_names(in, names);
  return true;
}

// A terminal named twice would run twice at once against one status row.
void drop_repeats(std::vector<std::string>& names) {
  std::set<std::string> seen;
  std::vector<std::string> unique;
  for (std::string& name : names)
    if (seen.insert(name).second) unique.push_back(std::move(name));
  names = std::move(unique);
}

}  // namespace

bool fleet_connect(FleetDatabase& database, std::string& error) {
  DatabaseSettings settings = read_database_settings(credential_store_path());
  database.database_system = settings.database_system;
  std::int32_t status =
      db_connect(database.db, settings.user_name, settings.password, settings.data_source);
  if (status == 0) return true;
  std::string console;
  report_connect_failure(settings, status, Report{RunLog{}, Console{&console}, false});
  error = console.empty() ? "database connection failed" : console;
  while (!error.empty() && error.back() == '\n') error.pop_back();
  return false;
}

bool select_terminals(FleetDatabase& database, const Selection& selection,
                      std::vector<std::string>& names, std::string& error) {
  if (!selection.terminals_file.empty()) {
    if (!names_from_file(selection.terminals_file, names, error)) return false;
  } else {
    StatusFilter filter;
    filter.like = selection.like;
    filter.failed_only = selection.failed;
    std::vector<StatusRow> rows;
    std::int32_t status = status_rows_read(database.db, filter, rows);
    if (status != 0) {
      error = "reading VXSYSTEM.VXS1140TRM failed: " + std::to_string(status);
      return false;
    }
    for (StatusRow& row : rows) names.push_back(std::move(row.name));
  }
  drop_repeats(names);
  return true;
}

std::optional<StatusRow> read_one_row(FleetDatabase& database, const std::string& name) {
  StatusFilter filter;
  filter.name = name;
  std::vector<StatusRow> rows;
  if (status_rows_read(database.db, filter, rows) != 0 || rows.empty()) return std::nullopt;
  return rows.front();
}
