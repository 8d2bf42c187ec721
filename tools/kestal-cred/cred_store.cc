// Editing of the credential store's text: records split exactly as the run's reader
// pairs them, so that what is written here is what a lookup finds.
#include "cred_store.h"

#include <set>

#include "platform/text_file.h"
#include "settings/blowfish.h"

namespace {

bool ends_with_line_end(const std::string& text) {
  return !text.empty() && text.back() == '\n';
}

std::string head_line(std::string_view key) {
  std::string line = "KESTAL;";
  line.append(key);
  line.push_back(';');
  return line;
}

// A positive number no other record uses; the old one is kept when it qualifies.
std::int32_t record_number(const StoreLayout& layout, int replaced) {
  std::multiset<std::int32_t> used;
  for (const CredentialFields& fields : layout.records)
    if (fields.has_number) used.insert(fields.record.number);
  if (replaced >= 0) {
    const CredentialFields& old = layout.records[static_cast<std::size_t>(replaced)];
    if (old.has_number && old.record.number > 0 && used.count(old.record.number) == 1)
      return old.record.number;
  }
  std::int32_t number = 1;
  while (used.count(number) != 0) ++number;
  return number;
}

}  // namespace

StoreLayout store_split(std::string_view content) {
  StoreLayout layout;
  std::size_t end = content.find(kTextEndOfFile);
  if (end != std::string_view::npos) {
    layout.tail = std::string(content.substr(end));
    content = content.substr(0, end);
  }
  // The run's own line reader splits the pieces, so they pair exactly as its lookup
  // pairs them.
  TextFile reader;
  reader.open_bytes(content);
  StorePiece piece;
  bool head = true;
  while (reader.read_line(piece.line, head ? kCredentialHeadCapacity : kCredentialBodyCapacity,
                          &piece.raw)) {
    layout.pieces.push_back(piece);
    head = !head;
  }
  for (std::size_t i = 0; i + 1 < layout.pieces.size(); i += 2)
    layout.records.push_back(credential_fields(layout.pieces[i].line, layout.pieces[i + 1].line));
  for (const StorePiece& piece : layout.pieces) {
    if (ends_with_line_end(piece.line)) {
      layout.crlf = piece.raw.size() >= 2 && piece.raw[piece.raw.size() - 2] == '\r';
      break;
    }
  }
  return layout;
}

std::string store_check_key(std::string_view key) {
  if (key.empty()) return "the key is empty";
  if (key.find_first_of(std::string_view(";\r\n\0\x1A", 5)) != std::string_view::npos)
    return "the key contains ';', a line end, a zero byte or a Ctrl-Z";
  if (head_line(key).size() > kCredentialHeadCapacity - 2) return "the key is too long";
  return "";
}

std::string store_check_value(std::string_view value) {
  if (value.find('\0') != std::string_view::npos) return "the value contains a zero byte";
  if (value.find_first_of("\r\n") != std::string_view::npos) return "the value contains a line end";
  return "";
}

int store_find(const StoreLayout& layout, std::string_view key) {
  for (std::size_t i = 0; i < layout.records.size(); ++i)
    if (layout.records[i].record.key == key) return static_cast<int>(i);
  return -1;
}

int store_taken_by_run(const StoreLayout& layout, std::string_view key) {
  for (std::size_t i = 0; i < layout.records.size(); ++i)
    if (credential_taken(layout.records[i], "", key, 0)) return static_cast<int>(i);
  return -1;
}

std::string store_value(const StoreLayout& layout, int index) {
  return credential_plain_value(layout.records[static_cast<std::size_t>(index)].record.value);
}

std::vector<std::string> store_keys(const StoreLayout& layout) {
  std::vector<std::string> keys;
  for (const CredentialFields& fields : layout.records) {
    std::string key = fields.record.key;
    std::size_t end = key.find('\n');
    if (end != std::string::npos) key.resize(end);
    keys.push_back(key);
  }
  return keys;
}

StoreEdit store_set(std::string_view content, std::string_view key, std::string_view value) {
  StoreEdit edit;
  edit.error = store_check_key(key);
  if (edit.error.empty()) edit.error = store_check_value(value);
  if (!edit.error.empty()) return edit;

  StoreLayout layout = store_split(content);
  int replaced = store_find(layout, key);
  BlowfishContext context;
  std::string body = std::to_string(record_number(layout, replaced)) + ";" + std::string(key) +
                     ";" + encipher_hex(context, value, kCredentialCipherKey);
  if (body.size() > kCredentialBodyCapacity - 2) {
    edit.error = "the value is too long for the store";
    return edit;
  }
  const char* line_end = layout.crlf ? "\r\n" : "\n";
  std::vector<std::string> pieces;
  for (const StorePiece& piece : layout.pieces) pieces.push_back(piece.raw);
  std::string head_piece = head_line(key) + line_end;
  std::string body_piece = body + line_end;
  if (replaced >= 0) {
    pieces[2 * static_cast<std::size_t>(replaced)] = head_piece;
    pieces[2 * static_cast<std::size_t>(replaced) + 1] = body_piece;
  } else {
    // A new record goes after the last whole record, so an unpaired last line
    // stays unpaired and the pairing of everything before it is kept.
    std::size_t at = 2 * layout.records.size();
    if (at > 0 && !ends_with_line_end(pieces[at - 1])) pieces[at - 1] += line_end;
    pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(at), {head_piece, body_piece});
  }
  for (const std::string& piece : pieces) edit.content += piece;
  edit.content += layout.tail;

  StoreLayout written = store_split(edit.content);
  int found = store_find(written, key);
  if (found < 0 || store_value(written, found) != value) {
    edit.error = "the store's layout does not allow a record for this key";
    return edit;
  }
  int taken = store_taken_by_run(written, key);
  if (taken != found)
    edit.warning = "record " + std::to_string(taken + 1) +
                   " has an empty qualifier or the number 0 and is taken before this one "
                   "by every lookup of the run";
  return edit;
}
