// One fetched row of the value statement, as plain texts: what the entry table reads
// of the query cursor, without the database layer's ODBC types.
#pragma once

#include <cstdint>

inline constexpr int kQueryColumns = 30;  // columns bound; later ones are never read
inline constexpr int kColumnBytes = 100;  // bytes bound per column: at most 99 characters

struct QueryRow {
  std::int32_t column_count = 0;
  char columns[kQueryColumns][kColumnBytes] = {};  // NUL-terminated, at most 99 characters
};
