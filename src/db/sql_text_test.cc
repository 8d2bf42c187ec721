// How texts are placed in SQL statements: quoted literals with doubled quotes, and
// bound values for texts whose backslash a server might read as an escape.
#include "db/sql_text.h"

#include <gtest/gtest.h>

namespace {

TEST(SqlLiteral, QuotesOrBindsEachValueInOrder) {
  struct Case {
    std::string value, text;
    std::vector<std::string> bound;
  };
  const Case cases[] = {
      {"", "''", {}},
      {"o'brien", "'o''brien'", {}},
      {"'; DROP TABLE t; --", "'''; DROP TABLE t; --'", {}},
      {"a\\b", "?", {"a\\b"}},
      {"\\'; DELETE FROM t;--", "?", {"\\'; DELETE FROM t;--"}},
  };
  SqlStatement statement;
  std::vector<std::string> bound;
  for (const Case& c : cases) {
    EXPECT_EQ(sql_literal(statement, c.value), c.text) << c.value;
    bound.insert(bound.end(), c.bound.begin(), c.bound.end());
  }
  EXPECT_EQ(statement.parameters, bound);
}

}  // namespace
