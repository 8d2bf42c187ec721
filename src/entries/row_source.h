// Where the entry table's rows come from: the run's two database cursors, or rows
// held in memory, so the rules of the assembly can be checked without a server.
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"
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

// The cursors of the run's database connection.
class DatabaseRows final : public RowSource {
 public:
  explicit DatabaseRows(DatabaseConnection& db) : db_(db) {}
  std::int32_t query_open(const SqlStatement& statement) override {
    return ::query_open(db_, statement.text, statement.parameters);
  }
  std::int32_t query_fetch_row(QueryRow& row) override { return ::query_fetch_row(db_, row); }
  std::int32_t query_close() override { return ::query_close(db_); }
  std::int32_t site_cursor_open() override { return ::site_cursor_open(db_); }
  std::int32_t site_cursor_fetch(std::string& site_number) override {
    return ::site_cursor_fetch(db_, site_number);
  }
  std::int32_t site_cursor_close() override { return ::site_cursor_close(db_); }

 private:
  DatabaseConnection& db_;
};
