// Advisory whole-file locks, so that processes sharing one append-only file (the
// run log) take turns: an append and the rotation that may follow it stay whole.
#pragma once

#include <cstdio>
#include <string>

// Blocks until this process holds an exclusive lock on the open `file`. False when
// the file cannot be locked, in which case the caller goes on unlocked.
bool lock_whole_file(std::FILE* file);

// Flushes `file`, gives up its lock and closes it.
void close_locked(std::FILE* file);

// True when `file` is still the file named `path`: another process may have moved
// it aside while this one waited for the lock.
bool still_named(std::FILE* file, const std::string& path);
