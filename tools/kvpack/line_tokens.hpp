// The tokens of one line of a description or a check script: names, numbers,
// double-quoted strings (\" \\ \n \t inside), "<<TAG" block starts and the
// punctuation ( ) , = :. "#" starts a comment outside strings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/kvpack/description.hpp"

namespace vke::kvpack {

enum class Tok { kEnd, kName, kNumber, kString, kBlock, kPunct };

struct Token {
  Tok type = Tok::kEnd;
  std::string text;      // name, string contents, block tag, punctuation, number as written
  double number = 0;     // of a number
  bool integer = false;  // a number that is an integer (decimal or 0x)
};

// A token near enough to how the line wrote it for a message: a string in
// double quotes, a block start after its "<<".
std::string Shown(const Token& t);

// Splits one line into tokens; false with the error (its line not set).
bool Tokenize(std::string_view line, std::vector<Token>* out, DescriptionError* error);

// Reads the tokens of one line in turn.
class TokenCursor {
 public:
  void Reset(std::vector<Token> tokens) {
    tokens_ = std::move(tokens);
    pos_ = 0;
  }
  const Token& Peek(size_t ahead = 0) const;
  Token Take();
  bool AtEnd() const { return pos_ >= tokens_.size(); }
  bool IsPunct(char c) const { return Peek().type == Tok::kPunct && Peek().text[0] == c; }
  bool IsWord(const char* w) const { return Peek().type == Tok::kName && Peek().text == w; }
  size_t Position() const { return pos_; }
  void Rewind(size_t pos) { pos_ = pos; }
  void Clear() { Reset({}); }

 private:
  std::vector<Token> tokens_;
  size_t pos_ = 0;
};

}  // namespace vke::kvpack
