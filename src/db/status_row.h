// Updates of the terminal's status row in VXSYSTEM.VXS1140TRM: start, status and
// progress, end. Each runs on a statement handle of its own and takes effect at once;
// a failed one returns the native error and, where `failure` is given, its record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/database.h"

std::int32_t status_mark_started(DatabaseConnection& db, std::string_view terminal_name,
                                 std::string_view timestamp, std::string_view user_name,
                                 std::string_view transfer_name, std::int16_t transfer_type,
                                 DiagnosticRecord* failure = nullptr);
std::int32_t status_set_progress(DatabaseConnection& db, std::string_view terminal_name,
                                 std::string_view timestamp, std::int32_t status_code,
                                 std::int16_t progress, DiagnosticRecord* failure = nullptr);
std::int32_t status_mark_finished(DatabaseConnection& db, std::string_view terminal_name,
                                  std::string_view timestamp, DiagnosticRecord* failure = nullptr);

// The console text of a failed update: "Schreiben in Tab Vxs1140Trm fehlgeschlagen,
// Error: " with the status, and a line feed.
std::string status_failure_text(std::int32_t status);
