// The keyboard on a text field: the selection an edit starts with, caret
// moves, deletion, insertion up to the field's limit, and caret values
// beyond the text, which must never reach outside it.
#include "graphics/text_field_edit.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vke {
namespace {

// The payload of a text-field command: four layout slots, the column, the
// value, the byte count of the area, then the label and the field's 17
// bytes.
struct Field {
  explicit Field(const std::string& text, const std::string& label = "Gain") {
    const int32_t area = static_cast<int32_t>(label.size()) + 1 + 17;
    payload.assign(7 + (area + 7) / 8, 0.0);
    payload[6] = area;
    char* bytes = reinterpret_cast<char*>(&payload[7]);
    std::memcpy(bytes, label.data(), label.size());
    std::memcpy(bytes + label.size() + 1, text.data(), text.size());
  }
  FieldText Find() {
    FieldText f{};
    EXPECT_TRUE(FindFieldText(reinterpret_cast<std::byte*>(payload.data()),
                              static_cast<int32_t>(payload.size()), &f));
    return f;
  }
  // Applies the keys and gives the text with the caret and selection end.
  std::string Keys(std::vector<uint32_t> keys) {
    FieldText f = Find();
    for (uint32_t key : keys) EditFieldText(&f, &caret, &end, key);
    EXPECT_EQ(f.text[f.length], 0);
    return std::string(f.text, static_cast<size_t>(f.length));
  }
  std::vector<double> payload;
  int32_t caret = 0;
  int32_t end = 32000;  // an edit starts with the whole text selected
};

TEST(TextFieldEdit, KeysAtTheStartOfAnEditStayInsideTheText) {
  Field a(" 2.50");
  EXPECT_EQ(a.Keys({kKeyRight}), " 2.50");  // collapses to the text's end
  EXPECT_EQ(a.caret, 5);
  EXPECT_EQ(a.end, 5);
  EXPECT_EQ(a.Keys({kKeyBackspace, '5'}), " 2.55");
  EXPECT_EQ(a.caret, 5);

  Field b(" 2.50");
  EXPECT_EQ(b.Keys({kKeyBackspace}), "");  // deletes the selection only
  EXPECT_EQ(b.caret, 0);
  Field c(" 2.50");
  EXPECT_EQ(c.Keys({'7'}), "7");  // replaces it
  EXPECT_EQ(c.end, 1);

  // Stored carets beyond the text, or reversed, are taken inside it.
  Field d("12");
  d.caret = 900;
  d.end = -4;
  EXPECT_EQ(d.Keys({'3'}), "123");
  EXPECT_EQ(d.caret, 3);
  d.caret = -7;
  d.end = -7;
  EXPECT_EQ(d.Keys({kKeyLeft, kKeyBackspace}), "123");
  EXPECT_EQ(d.caret, 0);
}

TEST(TextFieldEdit, CaretMovesDeletionAndTheLengthLimit) {
  Field f("1e-3");
  f.caret = 1;
  f.end = 3;                              // "e-" selected
  EXPECT_EQ(f.Keys({kKeyLeft}), "1e-3");  // collapses to the caret
  EXPECT_EQ(f.end, 1);
  EXPECT_EQ(f.Keys({kKeyRight, kKeyRight, kKeyBackspace}), "1e3");
  EXPECT_EQ(f.caret, 2);
  EXPECT_EQ(f.Keys({'x', 'E', '.', '-'}), "1eE.-3");  // other characters do nothing
  EXPECT_EQ(f.Keys({kKeyRight, kKeyRight, kKeyUp}), "1eE.-3");
  EXPECT_EQ(f.caret, 6);

  Field full("1234567890123");
  full.caret = full.end = 13;
  EXPECT_EQ(full.Keys({'4', '5'}), "12345678901234");  // 14 characters at most
  EXPECT_EQ(full.caret, 14);
  full.caret = 0;
  full.end = 4;
  EXPECT_EQ(full.Keys({'9'}), "95678901234");  // a replaced selection makes room

  // A payload too short for the area it names has no text.
  Field cut("1");
  cut.payload.resize(8);
  FieldText t{};
  EXPECT_FALSE(FindFieldText(reinterpret_cast<std::byte*>(cut.payload.data()), 8, &t));
}

}  // namespace
}  // namespace vke
