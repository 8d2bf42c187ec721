// Where the entry table's rows come from: the run's two database cursors (run/), or
// rows held in memory, so the rules of the assembly can be checked without a server.
#pragma once

#include <cstdint>
#include <string>

#include "db/query_row.h"
#include "db/sql_text.h"

// The cursor operations the assembly uses, with their statuses (0, 100 for no more
// rows, or the failure's code).
class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual std::int32_t query_open(const SqlStatement& statement) = 0;
  virtual std::int32_t query_fetch_row(QueryRow& row) = 0;
  virtual std::int32_t query_close() = 0;
  virtual std::int32_t site_cursor_open() = 0;
  virtual std::int32_t site_cursor_fetch(std::string& site_number) = 0;
  virtual std::int32_t site_cursor_close() = 0;
};
