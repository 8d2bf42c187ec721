// Replacing a file whole: readers (node_exporter, a web server, a browser) see the old
// text or the new one, never half of it.
#pragma once

#include <string>

// Writes `text` to a temporary file in the folder of `path`, flushes it to disk and
// renames it over `path`; the mode follows the umask. False with `error` set (and no
// temporary file left) when any step fails.
bool replace_file(const std::string& path, const std::string& text, std::string& error);

// Writes all of `text` to `fd`, going on after EINTR and partial writes.
bool write_all(int fd, const std::string& text);
