// Models of the quoted-list conversions for the fuzz targets' comparisons: the parse
// as a state table over character classes, so it shares no structure with the parser.
#include "quoted_model.h"

namespace {

// Classes of input characters; kEnd is NUL, CR, LF or the end of the text.
enum Class { kBlank, kComma, kQuote, kOther, kEnd, kClasses };
// kBetween: before a field (blanks skipped). kAfterQuote: a quote seen inside a
// quoted field, either its end or the first half of a doubled quote.
enum State { kBetween, kUnquoted, kQuoted, kAfterQuote, kStop };

// What one character does: emit the field (and start a new one), add the character
// to the field, add a quote, read the character again in kBetween.
enum Action : unsigned {
  kNone = 0,
  kEmit = 1,
  kKeep = 2,
  kKeepQuote = 4,
  kAgain = 8,
};

struct Step {
  State next;
  unsigned actions;
};

// Rows: states; columns: classes. kStop ends the parse.
constexpr Step kTable[kStop][kClasses] = {
    // kBlank, kComma, kQuote, kOther, kEnd
    /* kBetween */
    {{kBetween, kNone}, {kBetween, kEmit}, {kQuoted, kNone}, {kUnquoted, kKeep}, {kStop, kNone}},
    /* kUnquoted */
    {{kUnquoted, kKeep}, {kBetween, kEmit}, {kUnquoted, kKeep}, {kUnquoted, kKeep}, {kStop, kEmit}},
    /* kQuoted */
    {{kQuoted, kKeep}, {kQuoted, kKeep}, {kAfterQuote, kNone}, {kQuoted, kKeep}, {kStop, kEmit}},
    /* kAfterQuote */
    {{kBetween, kEmit},
     {kBetween, kEmit},
     {kQuoted, kKeepQuote},
     {kBetween, kEmit | kAgain},
     {kStop, kEmit}},
};

Class class_of(std::string_view text, std::size_t i) {
  if (i >= text.size()) return kEnd;
  switch (text[i]) {
    case '\0':
    case '\r':
    case '\n':
      return kEnd;
    case ' ':
      return kBlank;
    case ',':
      return kComma;
    case '"':
      return kQuote;
    default:
      return kOther;
  }
}

}  // namespace

ModelList model_parse_quoted_list(std::string_view text) {
  ModelList list;
  std::string field;
  State state = kBetween;
  // A comma that closed an unquoted field leaves one more (empty) field behind it when
  // only blanks follow it to the end; anything else between them cancels that.
  bool comma_closed_unquoted = false;
  for (std::size_t i = 0; state != kStop; ++i) {
    const Class c = class_of(text, i);
    Step step = kTable[state][c];
    if (state == kBetween && c == kEnd && comma_closed_unquoted) step.actions |= kEmit;
    if (step.actions & kEmit) {
      list.items.push_back(field);
      field.clear();
    }
    if (step.actions & kAgain) step = kTable[kBetween][c];
    if (step.actions & kKeep) field.push_back(text[i]);
    if (step.actions & kKeepQuote) field.push_back('"');
    if (c != kBlank || state != kBetween) comma_closed_unquoted = state == kUnquoted && c == kComma;
    state = step.next;
  }
  list.created = !list.items.empty();
  return list;
}

std::string model_trimmed(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string model_quoted_row(const std::vector<std::string>& values) {
  std::string line;
  for (const std::string& value : values) {
    if (!line.empty()) line.push_back(',');
    line.push_back('"');
    // A quote in a value is doubled, so the parser gives the value back whole.
    for (char c : model_trimmed(value)) {
      if (c == '"') line.push_back('"');
      line.push_back(c);
    }
    line.push_back('"');
  }
  return line;
}
