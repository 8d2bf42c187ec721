// Quoting of texts placed between single quotes in SQL statements: every quote is
// doubled, so no terminal or user name can end the literal.
#pragma once

#include <string>
#include <string_view>

std::string sql_quote(std::string_view text);
