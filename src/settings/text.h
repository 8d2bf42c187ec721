// Small text routines shared by the settings readers and the entry table.
#pragma once

#include <string>
#include <string_view>

// a-z become A-Z; every other byte stays.
std::string& text_upper(std::string& text);
// Removes trailing blanks and tabs.
std::string& text_trim_right(std::string& text);
// Removes trailing, then leading blanks and tabs.
std::string& text_trim(std::string& text);
// length > 0: `length` characters from `start`; 0: the rest; < 0: destination unchanged.
void text_substring(std::string_view source, int start, int length, std::string& destination);
// Position of the n-th `character`, of its last occurrence when there are fewer, or -1.
int text_find_nth(std::string_view text, char character, int n);
