// The tables of the fleet page, written row by row so thousands of terminals cost
// one pass. The script sorts every table; the filter applies to the one with id "rows".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TableColumn {
  std::string_view title;
  bool numeric = false;  // sorted as numbers; empty cells first
};

void table_open(std::string& out, std::string_view id, const std::vector<TableColumn>& columns);
// `word` gives the row's colour class and what the filter matches.
void row_open(std::string& out, std::string_view word);
// `html` is already escaped; `sort_key`, when given, is what sorting compares instead.
void cell(std::string& out, std::string_view html, std::string_view sort_key = {});
// The columns both fleet tables begin with: terminal (raw bytes), its outcome or
// state word, the code and the code's meaning (raw bytes).
void terminal_cells(std::string& out, std::string_view terminal, std::string_view word,
                    const std::optional<std::int32_t>& code, std::string_view meaning);
void row_close(std::string& out);
void table_close(std::string& out);
