// Splitting lines into tokens.
#include "tools/kvpack/line_tokens.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/errors.hpp"

namespace vke::kvpack {

namespace {

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// A number from i: an integer (decimal or 0x) or a real; false when the
// characters that belong to it make none.
bool ScanNumber(std::string_view line, size_t* i, Token* t) {
  size_t j = *i + (line[*i] == '-' ? 1 : 0);
  const bool hex = line.substr(j, 2) == "0x" || line.substr(j, 2) == "0X";
  while (j < line.size()) {
    const char c = line[j];
    const bool exponentSign =
        !hex && (c == '+' || c == '-') && (line[j - 1] == 'e' || line[j - 1] == 'E');
    if (!IsNameChar(c) && c != '.' && !exponentSign) break;
    j++;
  }
  t->type = Tok::kNumber;
  t->text = line.substr(*i, j - *i);
  *i = j;
  char* end = nullptr;
  errno = 0;
  const long long integer = std::strtoll(t->text.c_str(), &end, 0);
  if (!*end && errno != ERANGE) {
    t->integer = true;
    t->number = static_cast<double>(integer);
    return true;
  }
  t->number = std::strtod(t->text.c_str(), &end);
  return !*end && !hex;
}

}  // namespace

std::string Shown(const Token& t) {
  if (t.type == Tok::kString) return '"' + t.text + '"';
  if (t.type == Tok::kBlock) return "<<" + t.text;
  return t.text;
}

bool Tokenize(std::string_view line, std::vector<Token>* out, DescriptionError* error) {
  out->clear();
  for (size_t i = 0; i < line.size();) {
    const char c = line[i];
    Token t;
    if (c == ' ' || c == '\t' || c == '\r') {
      i++;
      continue;
    }
    if (c == '#') break;
    if (IsNameStart(c)) {
      size_t j = i;
      while (j < line.size() && IsNameChar(line[j])) j++;
      t.type = Tok::kName;
      t.text = line.substr(i, j - i);
      i = j;
    } else if (IsDigit(c) ||
               ((c == '-' || c == '.') && i + 1 < line.size() && IsDigit(line[i + 1]))) {
      errno = 0;
      if (!ScanNumber(line, &i, &t)) {
        *error = {kKvSyntaxError, 0, t.text, ""};
        return false;
      }
    } else if (c == '"') {
      size_t j = i + 1;
      t.type = Tok::kString;
      for (; j < line.size() && line[j] != '"'; j++) {
        if (line[j] == '\\' && j + 1 < line.size()) {
          const char e = line[++j];
          t.text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        } else {
          t.text += line[j];
        }
      }
      if (j >= line.size()) {
        *error = {kKvUnterminatedString, 0, std::string(line.substr(i)), ""};
        return false;
      }
      i = j + 1;
    } else if (c == '<' && line.substr(i, 2) == "<<") {
      size_t j = i + 2;
      while (j < line.size() && IsNameChar(line[j])) j++;
      t.type = Tok::kBlock;
      t.text = line.substr(i + 2, j - i - 2);
      if (t.text.empty()) {
        *error = {kKvBlockExpected, 0, std::string(line.substr(i)), ""};
        return false;
      }
      i = j;
    } else if (std::strchr("(),=:", c)) {
      t.type = Tok::kPunct;
      t.text = std::string(1, c);
      i++;
    } else {
      *error = {kKvUnexpectedChar, 0, std::string(1, c), ""};
      return false;
    }
    out->push_back(std::move(t));
  }
  return true;
}

const Token& TokenCursor::Peek(size_t ahead) const {
  static const Token kEnd;
  return pos_ + ahead < tokens_.size() ? tokens_[pos_ + ahead] : kEnd;
}

Token TokenCursor::Take() {
  return pos_ < tokens_.size() ? tokens_[pos_++] : Token();
}

}  // namespace vke::kvpack
