// Reading the terminals' status rows from VXSYSTEM.VXS1140TRM, for companions that
// look at many terminals at once. The name pattern is a bound parameter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/database.h"

struct StatusRow {
  std::string name;                    // TrmNam, whole
  std::optional<std::int32_t> code;    // TrmDst; none when NULL
  std::optional<std::int32_t> active;  // TrmDac; none when NULL
  std::string updated;                 // TrmDtd as stored, may be empty
  std::string user;                    // TrmDbe
};

struct StatusFilter {
  std::optional<std::string> like;  // TrmNam LIKE this
  std::optional<std::string> name;  // TrmNam = this
  bool failed_only = false;         // TrmDst set or TrmDac 1
};

// Appends the matching rows, ordered by name; 0, or the native error of the failure
// (the ODBC status when there is none).
std::int32_t status_rows_read(DatabaseConnection& db, const StatusFilter& filter,
                              std::vector<StatusRow>& rows);
