// kestal-fleet's database access through the project's settings and database code.
// Nothing is written to the run log: that belongs to the transfers.
#include "fleet_db.h"

#include <unordered_map>
#include <unordered_set>

#include "fleet_input.h"
#include "log/report.h"
#include "platform/paths.h"
#include "settings/credentials.h"

namespace {

// A terminal named twice would run twice at once against one status row.
void drop_repeats(std::vector<Selected>& selected) {
  std::unordered_set<std::string> seen;
  std::vector<Selected> unique;
  for (Selected& s : selected)
    if (seen.insert(s.name).second) unique.push_back(std::move(s));
  selected = std::move(unique);
}

bool read_rows(FleetDatabase& database, const StatusFilter& filter, std::vector<StatusRow>& rows,
               std::string& error) {
  std::int32_t status = status_rows_read(database.db, filter, rows);
  if (status != 0) error = "reading VXSYSTEM.VXS1140TRM failed: " + std::to_string(status);
  return status == 0;
}

// The rows of listed names, from one read of the whole table.
bool add_rows(FleetDatabase& database, std::vector<Selected>& selected, std::string& error) {
  std::vector<StatusRow> rows;
  if (!read_rows(database, StatusFilter{}, rows, error)) return false;
  std::unordered_map<std::string, StatusRow*> by_name;
  for (StatusRow& row : rows) by_name.emplace(row.name, &row);
  for (Selected& s : selected) {
    auto found = by_name.find(s.name);
    if (found != by_name.end()) s.row = std::move(*found->second);
  }
  return true;
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

bool select_terminals(FleetDatabase& database, const Selection& selection, bool rows,
                      std::vector<Selected>& selected, std::string& error) {
  std::vector<std::string> names;
  bool listed = !selection.terminals_file.empty() || !selection.resume_file.empty();
  if (!selection.terminals_file.empty() && !read_name_list(selection.terminals_file, names, error))
    return false;
  if (!selection.resume_file.empty() && !read_resume(selection.resume_file, names, error))
    return false;
  for (std::string& name : names) selected.push_back({std::move(name), std::nullopt});
  if (listed) {
    drop_repeats(selected);
    return !rows || add_rows(database, selected, error);
  }
  std::vector<StatusRow> found;
  if (!read_rows(database, StatusFilter{selection.like, std::nullopt, selection.failed}, found,
                 error))
    return false;
  for (StatusRow& row : found) selected.push_back({row.name, std::move(row)});
  drop_repeats(selected);
  return true;
}
