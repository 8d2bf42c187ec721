// The entry table's row source on the run's database connection: its two cursors.
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"
#include "entries/row_source.h"

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
