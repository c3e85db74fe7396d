// When the console's lines make a whole command.
#include "tools/command_gatherer.hpp"

#include "compiler/compile_lexer.hpp"
#include "compiler/lexer_helpers.hpp"
#include "compiler/scan.hpp"
#include "engine/errors/errors.hpp"

namespace vke::runner {

namespace {

// The keywords that open and close blocks or let a statement follow them on
// their line: the statement parser's own rows, and the visibility words,
// which may stand before "function".
struct BlockWord {
  std::string_view word;
  int8_t blocks;          // +1 opens a block, -1 closes the innermost one
  bool statementFollows;  // a statement may follow without a separator
};
constexpr BlockWord kStatementWords[] = {
#define VKE_STATEMENT_KEYWORD(word, kind, expression, blocks, bodyFollows) \
  {word, blocks, bodyFollows},
#include "compiler/statement_keywords.def"
#undef VKE_STATEMENT_KEYWORD
};

// What a visibility word is to the gatherer: "private function f(x)".
constexpr BlockWord kVisibilityWord{"", 0, true};

const BlockWord* FindBlockWord(std::string_view word) {
  for (const BlockWord& b : kStatementWords)
    if (b.word == word) return &b;
  for (const VisibilityWord& v : kVisibilityWords)
    if (v.word == word) return &kVisibilityWord;
  return nullptr;
}

bool StartsAt(std::string_view line, size_t at, std::string_view s) {
  return line.compare(at, s.size(), s) == 0;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Whether the line holds only numbers, each with a sign in front or a comma
// behind it at most, semicolons and blanks: the elements and ends of rows.
bool HoldsOnlyNumbers(std::string_view line) {
  const auto n = static_cast<int32_t>(line.size());
  bool afterNumber = false;
  for (int32_t at = 0; at < n;) {
    const char c = line[at];
    if (IsBlank(c)) {
      at++;
    } else if (c == ';') {
      at++;
      afterNumber = false;
    } else if (c == ',') {
      if (!afterNumber) return false;
      at++;
      afterNumber = false;
    } else {
      if (c == '+' || c == '-') at++;
      NumberLiteral number;
      if (!IsNumberStart(line.data(), n, at) ||
          ScanNumberLiteral(line.data(), n, &at, &number) != kOk)
        return false;
      if (at < n && !IsBlank(line[at]) && line[at] != ',' && line[at] != ';') return false;
      afterNumber = true;
    }
  }
  return true;
}

}  // namespace

void CommandGatherer::TakeWord(std::string_view line, size_t* at) {
  const size_t start = *at;
  const auto k = static_cast<size_t>(
      NameSpan(line.data(), static_cast<int32_t>(line.size()), static_cast<int32_t>(start)));
  const std::string_view word = line.substr(start, k);
  *at = start + k;
  atStatement_ = false;
  previous_ = ' ';
  keyword_ = true;
  if (word == "function") {
    // A definition ends where the next begins. The header is checked once
    // its statement has been read whole.
    inDefinition_ = inHeader_ = true;
    definitionBlocks_.clear();
    Take(Taking::kHeader, start);
    return;
  }
  if (word == "endfunction") {
    inDefinition_ = false;
    definitionBlocks_.clear();
    header_.clear();
    return;
  }
  if (const BlockWord* b = FindBlockWord(word)) {
    // Blocks inside a definition are its own: only "endfunction" closes it.
    std::vector<Block>& blocks = Blocks();
    if (b->blocks > 0) {
      blocks.emplace_back();
      Take(Taking::kOpener, start);
    } else if (b->blocks < 0) {
      if (!blocks.empty()) blocks.pop_back();
    } else if (b->statementFollows && b != &kVisibilityWord && !blocks.empty()) {
      Take(Taking::kLastPart, start);
    }
    atStatement_ = b->statementFollows;
    // The keyword's statement ends where another may follow.
    if (atStatement_) EndTaking(line, *at);
    return;
  }
  keyword_ = false;
  previous_ = word.back();
}

void CommandGatherer::Take(Taking what, size_t at) {
  taking_ = what;
  taken_.clear();
  takeFrom_ = at;
}

void CommandGatherer::EndTaking(std::string_view line, size_t end) {
  if (taking_ == Taking::kNothing) return;
  taken_.append(line.substr(takeFrom_, end - takeFrom_));
  switch (taking_) {
    case Taking::kOpener:
      Blocks().back().opener = std::move(taken_);
      break;
    case Taking::kLastPart:
      Blocks().back().lastPart = std::move(taken_);
      break;
    default:
      header_ = std::move(taken_);
      break;
  }
  taking_ = Taking::kNothing;
  taken_.clear();
}

void CommandGatherer::BeginPart() {
  partStart_ = added_;
  partInDefinition_ = inDefinition_;
  partContext_.clear();
  auto append = [this](const std::vector<Block>& blocks) {
    for (const Block& b : blocks) {
      partContext_.append(b.opener).push_back('\n');
      if (!b.lastPart.empty()) partContext_.append(b.lastPart).push_back('\n');
    }
  };
  append(blocks_);
  if (inDefinition_) {
    partContext_.append(header_).push_back('\n');
    append(definitionBlocks_);
  }
}

void CommandGatherer::CheckHeader() {
  SourceScan scan;
  ScannedDefinition found;
  if (ScanSourceForFunctions(nullptr, header_.data(), static_cast<int32_t>(header_.size()), &scan,
                             &found, false, true) != kOk) {
    inDefinition_ = false;
    header_.clear();
  }
  inHeader_ = false;
}

void CommandGatherer::Add(std::string_view line) {
  if (lineEnded_) BeginPart();
  const bool joined = continued_ || inComment_;
  const bool begunBefore = joined || !open_.empty();
  // A line end inside "[" or "{" ends a row.
  numberRow_ = !joined && !open_.empty() && (open_.back() == '[' || open_.back() == '{') &&
               HoldsOnlyNumbers(line);
  const bool inBlock = !joined && open_.empty() && !blocks_.empty() && !inDefinition_;
  bool anyKeyword = false;
  continued_ = false;
  // A line end outside a comment and outside brackets ends the statement;
  // inside a bracket it goes on, as the statement parser reads it.
  if (!joined && open_.empty()) atStatement_ = true;
  if (!joined) previous_ = ' ';
  const size_t n = line.size();
  for (size_t at = 0; at < n;) {
    if (inComment_) {
      const size_t close = line.find("*/", at);
      if (close == std::string_view::npos) break;
      at = close + 2;
      inComment_ = false;
      previous_ = ' ';
      continue;
    }
    const char c = line[at];
    if (StartsAt(line, at, "...")) {
      continued_ = true;
      break;
    }
    if (c == '%' || StartsAt(line, at, "//")) break;
    if (StartsAt(line, at, "/*")) {
      inComment_ = true;
      at += 2;
      continue;
    }
    if (atStatement_) {
      if (c == ' ' || c == '\t' || c == ',' || c == ';') {
        at++;
        continue;
      }
      if (IsNameStart(c)) {
        TakeWord(line, &at);
        anyKeyword |= keyword_;
        continue;
      }
      atStatement_ = false;
    }
    if (c == '\'' && !EndsOperand(previous_)) {
      at = static_cast<size_t>(
          PassString(line.data(), static_cast<int32_t>(n), static_cast<int32_t>(at)));
      previous_ = '\'';
      continue;
    }
    if (OpeningBracket(c)) {
      open_.push_back(c);
    } else if (IsClosingBracket(c) && !open_.empty()) {
      open_.pop_back();
    } else if ((c == ',' || c == ';') && open_.empty()) {
      atStatement_ = true;
      EndTaking(line, at);
    }
    previous_ = c;
    at++;
  }
  const bool goesOn = continued_ || inComment_ || !open_.empty();
  alone_ = inBlock && !anyKeyword && !goesOn;
  midStatement_ = begunBefore && goesOn;
  if (taking_ != Taking::kNothing && goesOn) {
    taken_.append(line.substr(takeFrom_)).push_back('\n');
    takeFrom_ = 0;
  } else {
    EndTaking(line, n);
  }
  if (inHeader_ && !goesOn) CheckHeader();
  lineEnded_ = !goesOn;
  added_ += n + 1;
}

}  // namespace vke::runner
