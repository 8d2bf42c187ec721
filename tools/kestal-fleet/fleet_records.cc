// The history and the metrics file of a push or a status read, each written whole.
#include "fleet_records.h"

#include "fleet_history.h"
#include "fleet_metrics.h"
#include "replace_file.h"

bool check_record_options(const FleetOptions& options, std::string& error) {
  if (options.keep_given && options.history_dir.empty()) error = "--keep needs --history";
  // A dry run pushes nothing: it would leave no history and no metrics.
  if (options.dry_run && !(options.history_dir.empty() && options.metrics_file.empty()))
    error = "--dry-run writes no history and no metrics";
  return error.empty();
}

bool record_push(const FleetOptions& options, const PushReport& report,
                 const std::string& json_lines, const std::string& page, int exit_status,
                 std::string& error) {
  if (!options.history_dir.empty() &&
      !history_add(options.history_dir, options.keep, report.started_unix, json_lines, page, error))
    return false;
  return options.metrics_file.empty() ||
         replace_file(options.metrics_file, push_metrics(report, exit_status), error);
}

bool record_status(const FleetOptions& options, const StatusReport& report, std::string& error) {
  return options.metrics_file.empty() ||
         replace_file(options.metrics_file, status_metrics(report), error);
}
