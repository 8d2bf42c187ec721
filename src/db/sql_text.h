// Texts placed between single quotes in SQL statements: every quote is doubled, so
// no terminal or user name can end the literal; a value with a backslash is bound.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A statement's text and the values bound to its "?" markers, in their order.
struct SqlStatement {
  std::string text;
  std::vector<std::string> parameters;
};

std::string sql_quote(std::string_view text);

// What stands for `value` in the statement's text: the value between single quotes,
// each quote doubled; or, for a value that holds a backslash, a "?" marker, with the
// value appended to the statement's parameters. Servers differ in whether a
// backslash escapes inside a literal, so only the driver can quote such a value by
// the server's own rules; every other value keeps its literal text.
std::string sql_literal(SqlStatement& statement, std::string_view value);
