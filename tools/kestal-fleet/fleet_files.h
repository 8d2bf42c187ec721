// The files a push writes (--json, --html, --joblog, --metrics, --history), checked before the
// first transfer and replaced whole, and the lock that keeps one push per working directory.
#pragma once

#include <string>

#include "fleet_fd.h"

// A writable regular file, or a new one in an existing, writable folder; else
// false with `error` set.
bool check_output_path(const std::string& path, std::string& error);
// A writable folder, or one that can be made where its nearest existing folder is.
bool check_output_folder(const std::string& path, std::string& error);

// Writes `text` to a temporary file beside `path` and renames it over `path`.
bool write_text_file(const std::string& path, const std::string& text, std::string& error);

// A file written as the push goes and put in place by finish(); a push killed before
// leaves the old file as it was (and its guard removes the temporary one beside it).
struct GrowingFile {
  std::string path;
  std::string temporary;
  Fd fd;
};
bool open_growing(GrowingFile& file, const std::string& path, std::string& error);
void append(GrowingFile& file, const std::string& text);
bool finish(GrowingFile& file, std::string& error);

// Takes the working directory's push lock; false with `error` naming the process
// that holds it (unless `wait`: then it waits).
bool lock_working_directory(Fd& lock, bool wait, std::string& error);
