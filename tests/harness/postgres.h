// The loopback PostgreSQL cluster that scripts/with-postgres.sh starts, as the
// end-to-end tests see it: SQL through psql, and the statements the server logged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An environment variable that the cluster script exports; empty when unset.
std::string env_or_empty(const char* name);

// Runs `sql` through psql; returns its unaligned, tuples-only output ('|' between
// columns, one row a line). Fails the current test when psql fails.
std::string psql(const std::string& sql);

// Byte offset of the server log's end, and the statements logged after an offset.
std::uintmax_t server_log_size();
std::vector<std::string> statements_logged_since(std::uintmax_t offset);
