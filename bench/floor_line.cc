// The UPDSYSDB line and the reply check of the protocol floor client.
#include "floor_line.h"

#include <cstdio>

#include "terminal/crc16.h"

std::string updsysdb_line(int index, std::string_view value) {
  char name[32];
  std::snprintf(name, sizeof name, "StoNr%d", index);
  std::string text = "STRING ";
  text += name;
  text += ' ';
  text += value;
  char head[48];
  std::snprintf(head, sizeof head, "UPDSYSDB %x %zu ",
                static_cast<unsigned>(crc16_block(text.data(), text.size(), 0)), text.size());
  return head + text + "\r\n";
}

bool reply_has_code(std::string_view reply, std::string_view code) {
  return reply.size() >= 3 && reply.substr(0, 3) == code;
}
