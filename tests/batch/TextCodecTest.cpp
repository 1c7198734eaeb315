#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>
#endif

#include "batch/Failures.h"
#include "batch/text/ControlCharacters.h"
#include "batch/text/Conversion.h"
#include "batch/text/DisplayColumns.h"
#include "batch/text/EncodingGuess.h"
#include "batch/text/OneLine.h"
#include "batch/text/TextCodec.h"
#include "rulecalc_batch.h"

namespace rulecalc::batch {
namespace {

const std::string kZhongUtf8 = "\xE4\xB8\xAD";  // 中
const std::string kZhongGbk = "\xD6\xD0";

TEST(TextCodec, ConvertsUtf8ToGbkAndBack) {
  TTextCodec codec("UTF-8");
  EXPECT_EQ(codec.ToGbk("A=" + kZhongUtf8, "text"), "A=" + kZhongGbk);
  EXPECT_EQ(codec.FromGbk("A=" + kZhongGbk), "A=" + kZhongUtf8);
}

TEST(TextCodec, ConvertsFromAnotherOutsideEncoding) {
  TTextCodec codec("GB18030");
  EXPECT_EQ(codec.ToGbk(kZhongGbk, "text"), kZhongGbk);
  TTextCodec utf16("UTF-16LE");
  EXPECT_EQ(utf16.ToGbk(std::string("A\0", 2), "text"), "A");
}

// Invalid input, and a NUL that the library would cut the text at (given,
// or made by the conversion), are refused with the byte named.
TEST(TextCodec, RefusesInvalidInputAndNamesTheByte) {
  const struct {
    const char* Encoding;
    std::string Text;
    const char* Expected;
  } cases[] = {
      {"UTF-8", "ab\xFF", "the sentence cannot be converted to GBK at byte 3"},
      {"UTF-8", kZhongUtf8 + std::string("a\0b", 3), "the sentence has a NUL byte at byte 5"},
      {"UTF-7", "x+AAA-x", "the sentence has a NUL byte at byte 2"},
  };
  for (const auto& c : cases) {
    TTextCodec codec(c.Encoding);
    try {
      codec.ToGbk(c.Text, "the sentence");
      ADD_FAILURE() << "no error for " << c.Text;
    } catch (const TConversionError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(c.Expected, 0), 0u) << error.what();
    }
  }
}

// GBK lacks them: refused for the rules' texts; a value of the data takes
// them in their GB18030 form, which comes out as the same character.
TEST(TextCodec, CharactersGbkLacksPassAsGb18030InTheData) {
  const struct {
    const char* Utf8;
    const char* Widened;  // nullptr: not even GB18030 takes it
    std::size_t BadOffset;
  } cases[] = {
      {"ok \xF0\x9F\x98\x80", "ok \x94\x39\xFC\x36", 3},   // an emoji
      {"\xCA\xA4\xE4\xB8\xAD", "\x81\x30\xB3\x39\xD6\xD0", 0},  // a letter of the IPA, then a Chinese one
      {"\xE7\x8E\x8B\xF0\xA0\x80\x80", "\xCD\xF5\x95\x32\x82\x36", 3},  // a rare character of a name
      {"a\xC3(", nullptr, 1},                                    // no UTF-8 at all
  };
  TTextCodec codec("UTF-8");
  for (const auto& c : cases) {
    std::string gbk;
    std::size_t badOffset = 0;
    EXPECT_FALSE(codec.TryToGbk(c.Utf8, gbk, badOffset)) << c.Utf8;
    EXPECT_EQ(badOffset, c.BadOffset) << c.Utf8;
    EXPECT_EQ(codec.TryToGbkWidened(c.Utf8, gbk, badOffset), c.Widened != nullptr) << c.Utf8;
    if (!c.Widened) {
      EXPECT_EQ(badOffset, c.BadOffset) << c.Utf8;
      continue;
    }
    EXPECT_EQ(gbk, c.Widened) << c.Utf8;
    EXPECT_EQ(codec.FromGbk(gbk), c.Utf8);
  }
}

// A row's fields converted together give what converting each gives, and
// fail when one of them fails.
TEST(TextCodec, ConvertsAllFieldsAsOneByOne) {
  const std::vector<std::vector<std::string>> rows = {
      {"1", kZhongUtf8, "", "x" + kZhongUtf8 + kZhongUtf8, "2.5"},
      {kZhongUtf8 + "\x01" + kZhongUtf8, "\x01", kZhongUtf8},
      {"a", kZhongUtf8, "b\xFF", kZhongUtf8},
      {"ok \xF0\x9F\x98\x80", "a"},
      {"plain", "ascii"}};
  for (const char* encoding : {"UTF-8", "GB18030"}) {
    TTextCodec codec(encoding);
    for (const auto& row : rows) {
      std::vector<std::string> together, apart(row.size());
      bool allConvert = true;
      std::size_t badOffset = 0;
      for (std::size_t i = 0; i < row.size(); ++i) allConvert = codec.TryToGbk(row[i], apart[i], badOffset) && allConvert;
      ASSERT_EQ(codec.TryAllToGbk(row, together), allConvert) << encoding << " " << row[0];
      if (allConvert) {
        EXPECT_EQ(together, apart) << encoding << " " << row[0];
      }
    }
  }
}

#ifndef _WIN32
// UTF-8 into GBK by the codes read from iconv gives iconv's own bytes and
// stops where it stops: every character of the Basic Multilingual Plane and
// some beyond, and bytes that are no UTF-8.
TEST(TextCodec, Utf8IntoGbkIsIconvsConversion) {
  const iconv_t handle = iconv_open("GBK", "UTF-8");
  ASSERT_NE(handle, reinterpret_cast<iconv_t>(-1));
  const auto byIconv = [&](const std::string& in) {
    std::string out(4 * in.size() + 4, '\0');
    char* inPtr = const_cast<char*>(in.data());
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    const bool all = iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    out.resize(out.size() - outLeft);
    return std::make_pair(all ? std::string::npos : in.size() - inLeft, out);
  };
  std::vector<std::string> texts = {"\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80",
                                    "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80",
                                    "\xE4\xB8", "\xE4\xB8" "a", "\xFE", "a\xC3"};
  const auto utf8 = [](char32_t c) {
    if (c < 0x800) return std::string{static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    if (c < 0x10000) {
      return std::string{static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                         static_cast<char>(0x80 | (c & 0x3F))};
    }
    return std::string{static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                       static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  };
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c < 0xD800 || c > 0xDFFF) texts.push_back("a" + utf8(c) + "b");
  }
  for (char32_t c = 0x10000; c <= 0x10FFFF; c += 0x1003) texts.push_back(utf8(c));
  TConversion conversion("GBK", "UTF-8", false, "UTF-8");
  for (const std::string& text : texts) {
    std::string out;
    const std::size_t stop = conversion.Append(text, out);
    const auto expected = byIconv(text);
    ASSERT_EQ(stop, expected.first) << testing::PrintToString(text);
    if (stop == std::string::npos) {
      ASSERT_EQ(out, expected.second) << testing::PrintToString(text);
    }
  }
  iconv_close(handle);
}
#endif

TEST(TextCodec, ShowsWhatCannotBeShownAsQuestionMarks) {
  TTextCodec codec("UTF-8");
  EXPECT_EQ(codec.FromGbk("a" + kZhongGbk.substr(0, 1)), "a?");  // a character cut in half
  TTextCodec latin("ISO-8859-1");
  EXPECT_EQ(latin.FromGbk("x=" + kZhongGbk), "x=?");
}

TEST(EncodingGuess, Utf8WhenValidOrMarkedElseGbk) {
  const struct {
    std::string Bytes;
    bool Truncated;
    const char* Encoding;
    std::size_t BadOffset;
  } cases[] = {
      {"ID,CITY\n1,\xE5\x8C\x97\n", false, "UTF-8", 0},
      {"ID\n\xE5\x8C", true, "UTF-8", 0},     // a sample cut inside a character
      {"ID\n\xE5\x8C", false, "GBK", 3},      // a whole file that ends inside one
      {"ID,CITY\n1," + kZhongGbk, false, "GBK", 10},
      {"\xEF\xBB\xBF" "A\xFF", false, "UTF-8", 0},
  };
  for (const auto& c : cases) {
    const SEncodingGuess guess = GuessEncoding(c.Bytes, c.Truncated);
    EXPECT_EQ(guess.Encoding, c.Encoding) << c.Bytes;
    EXPECT_EQ(guess.BadOffset, c.BadOffset) << c.Bytes;
  }
}

// Texts from data and rules reach the terminal with their control characters shown.
TEST(TextCodec, ShowsControlCharactersAsHex) {
  const struct {
    std::string Text;
    std::string Shown;
  } cases[] = {
      {"\x1B]0;title\x07", "\\x1B]0;title\\x07"},
      {"a\x1B[2Jb", "a\\x1B[2Jb"},
      {std::string("A\0B", 3), "A\\x00B"},
      {"line\nfake\r", "line\\x0Afake\\x0D"},
      {"a\tb\x7F", "a\tb\\x7F"},
      {"\tedge\t", "\\x09edge\\x09"},
      {kZhongGbk + "\x01", kZhongGbk + "\\x01"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShowingControls(c.Text), c.Shown) << c.Shown;
  TTextCodec codec("UTF-8");
  EXPECT_EQ(codec.FromGbkShowingControls(kZhongGbk + "\x1B"), kZhongUtf8 + "\\x1B");
}

TEST(TextCodec, ListingsShowUnshownBytesAsHex) {
  TTextCodec codec("UTF-8");
  EXPECT_EQ(codec.FromGbkShowingBytes("a" + kZhongGbk.substr(0, 1) + "\x1B"), "a\\xD6\\x1B");
  EXPECT_EQ(OneLine("A > 1\n   AND B"), "A > 1 AND B");
}

TEST(TextCodec, UnknownEncodingIsAUsageError) {
  EXPECT_THROW(TTextCodec("NO-SUCH-ENCODING"), TUsageError);
}

TEST(DisplayColumns, ChineseCharactersTakeTwoColumns) {
  TDisplayColumns columns;
  EXPECT_EQ(columns.Of("abc"), 3);
  EXPECT_EQ(columns.Of(kZhongGbk + kZhongGbk + "x"), 5);
  EXPECT_EQ(columns.Of(""), 0);
}

// The C functions over the codec: statuses, the refused byte, the spans of
// typed names, the flags of a conversion out.
TEST(TextFunctions, AnswerWithStatusesOffsetsAndSpans) {
  EXPECT_EQ(rulecalc_text_open(nullptr, "UTF-8"), RULECALC_BATCH_BAD_CALL);
  EXPECT_EQ(rulecalc_text_columns(nullptr, "abc", 3), 0u);
  rulecalc_text* text = rulecalc_text_new();
  ASSERT_NE(text, nullptr);
  const char* out = nullptr;
  size_t length = 0, bad = 99;
  EXPECT_EQ(rulecalc_text_to_gbk(text, "a", 1, "x", &out, &length, &bad), RULECALC_BATCH_BAD_CALL);
  EXPECT_EQ(rulecalc_text_open(text, "NO-SUCH-ENCODING"), RULECALC_BATCH_UNUSABLE);
  EXPECT_STREQ(rulecalc_text_message(text, nullptr), "unknown encoding 'NO-SUCH-ENCODING'");
  ASSERT_EQ(rulecalc_text_open(text, "UTF-8"), RULECALC_BATCH_OK);
  EXPECT_EQ(rulecalc_text_to_gbk(text, "ab\xFF", 3, "the sentence", &out, &length, &bad), RULECALC_BATCH_UNUSABLE);
  EXPECT_EQ(bad, 2u);
  EXPECT_EQ(rulecalc_text_to_gbk(text, "a\0b", 3, "the value of A", &out, &length, &bad), RULECALC_BATCH_UNUSABLE);
  EXPECT_EQ(bad, 1u);
  ASSERT_EQ(rulecalc_text_from_gbk(text, "A\n  B\x1B", 6, RULECALC_TEXT_CONTROLS | RULECALC_TEXT_ONE_LINE, &out, &length),
            RULECALC_BATCH_OK);
  EXPECT_EQ(std::string(out, length), "A B\\x1B");
  const struct {
    const char* Written;
    size_t Start, Length;
    int Type;
  } names[] = {{"AGE", 0, 3, -1}, {" X :text", 1, 1, 1}, {"N:NUM", 0, 1, 0}};
  for (const auto& c : names) {
    size_t start = 99, nameLength = 99;
    int type = 99;
    ASSERT_EQ(rulecalc_text_typed_name(text, c.Written, std::strlen(c.Written), &start, &nameLength, &type),
              RULECALC_BATCH_OK) << c.Written;
    EXPECT_EQ(start, c.Start) << c.Written;
    EXPECT_EQ(nameLength, c.Length) << c.Written;
    EXPECT_EQ(type, c.Type) << c.Written;
  }
  EXPECT_EQ(rulecalc_text_typed_name(text, "A:date", 6, nullptr, nullptr, nullptr), RULECALC_BATCH_UNUSABLE);
  rulecalc_text_free(text);
  EXPECT_STREQ(rulecalc_text_guess_encoding("A\xFF", 2, 0, &bad), "GBK");
  EXPECT_EQ(bad, 1u);
}

}  // namespace
}  // namespace rulecalc::batch
