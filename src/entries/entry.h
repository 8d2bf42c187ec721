// One entry as the terminal receives it, and the table of them: what the entry
// module hands the dialogue, with no database types attached.
#pragma once

#include <string>
#include <vector>

struct Entry {
  std::string type;
  std::string name;
  std::string value;
};
