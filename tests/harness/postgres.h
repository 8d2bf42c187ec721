// The loopback PostgreSQL cluster that scripts/with-postgres.sh starts, as the
// end-to-end tests see it: SQL through psql, and the statements the server logged.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// An environment variable that the cluster script exports; empty when unset.
std::string env_or_empty(const char* name);

// Runs `sql` through psql; returns its unaligned, tuples-only output ('|' between
// columns, one row a line). Fails the current test when psql fails.
std::string psql(const std::string& sql);

// Byte offset of the server log's end, and the statements logged after an offset.
std::uintmax_t server_log_size();
std::vector<std::string> statements_logged_since(std::uintmax_t offset);

// `text` as an SQL string literal: in single quotes, every quote inside doubled.
std::string sql_quoted(const std::string& text);

// The status row of `name` as a finished earlier transfer left it: user "night",
// type 3, status 7, progress 5, not active.
void add_terminal_row(const std::string& name);
// Site rows from (number, status) pairs; the status is SQL text ("NULL" or a number).
void add_site_rows(const std::vector<std::pair<std::string, std::string>>& sites);
// The status row of `name` as "TrmDbe|TrmDnm|TrmDtp|TrmDst|TrmDpg|TrmDac" and a line feed.
std::string status_row_text(const std::string& name);
