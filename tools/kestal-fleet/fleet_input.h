// The names a push is given: a list file or standard input read with bounds, the
// names of an earlier push's JSON that did not end ok, and the check of each name.
#pragma once

#include <string>
#include <vector>

// One name a line ("-": standard input); a CR before the LF is dropped, empty lines are
// skipped. Only regular files and pipes are read (standard input: anything but a
// folder), at most 100,000 names in 64 MiB; a longer line keeps its first 4096 bytes.
bool read_name_list(const std::string& path, std::vector<std::string>& names, std::string& error);

// The terminals of an earlier push's JSON lines whose outcome was not ok.
bool read_resume(const std::string& path, std::vector<std::string>& names, std::string& error);

// Why `name` cannot be handed to kestalentry (empty when it can): a NUL, a line feed,
// or more than 255 bytes.
std::string name_problem(const std::string& name);
