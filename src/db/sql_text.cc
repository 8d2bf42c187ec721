// Quoting of texts placed between single quotes in SQL statements.
#include "db/sql_text.h"

std::string sql_quote(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size());
  for (char c : text) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  return quoted;
}

std::string sql_literal(SqlStatement& statement, std::string_view value) {
  if (value.find('\\') != std::string_view::npos) {
    statement.parameters.emplace_back(value);
    return "?";
  }
  return "'" + sql_quote(value) + "'";
}
