#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace quarn7 {
namespace {

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string text = from_cp1252(all);
    EXPECT_EQ(to_cp1252(text), all);
    // One character per byte: ASCII stays one byte, everything above takes two or three.
    EXPECT_EQ(text.substr(0, 128), all.substr(0, 128));
    EXPECT_GT(text.size(), all.size() + 128);
}

TEST(CodePage, CharactersAndTheirBytes) {
    const std::pair<const char*, const char*> cases[] = {
        {"\u20AC", "\x80"},  // euro sign
        {"\u00EF", "\xEF"},  // i with diaeresis
        {"\u00B0", "\xB0"},  // degree sign
        {"\u00A0", "\xA0"},
        {"\u00FF", "\xFF"},
        {"\u201A", "\x82"},
        {"\u2122", "\x99"},
        {"\u0178", "\x9F"},
        {"\u017E", "\x9E"},
        {"\u0081", "\x81"},  // the five undefined bytes keep their control characters
        {"\u008D", "\x8D"},
        {"\u008F", "\x8F"},
        {"\u0090", "\x90"},
        {"\u009D", "\x9D"},
        {"Tekst 1", "Tekst 1"},
        {"25\u00B0C",
         "25\xB0"
         "C"},
    };
    for (const auto& [utf8, bytes] : cases) {
        EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
        EXPECT_EQ(from_cp1252(bytes), utf8) << utf8;
    }
    EXPECT_EQ(to_cp1252(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, CharactersThePageLacksBecomeQuestionMarks) {
    const std::pair<const char*, const char*> cases[] = {
        {"\u03A9", "?"},      // Greek capital omega
        {"\u4E2D", "?"},      // a CJK ideograph
        {"\U0001F600", "?"},  // four-byte sequence
        {"\u0080", "?"},      // a control the page replaced by the euro sign
        {"\u009F", "?"},     {"a\u0100b", "a?b"},
    };
    for (const auto& [utf8, bytes] : cases) EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
}

TEST(CodePage, InvalidUtf8BecomesOneQuestionMarkPerBrokenSequence) {
    const std::pair<const char*, const char*> cases[] = {
        {"\xC3", "?"},    // cut short at the end
        {"\xC3(", "?("},  // cut short by an ASCII byte
        {"a\xE2\x82"
         "b",
         "a?b"},  // three-byte sequence missing its last byte
        {"\xFF", "?"},
        {"\x80", "?"},              // a lone continuation byte
        {"\xC0\xAF", "??"},         // overlong '/'
        {"\xE0\x80\xAF", "?"},      // overlong in three bytes
        {"\xED\xA0\x80", "?"},      // a surrogate
        {"\xF4\x90\x80\x80", "?"},  // above U+10FFFF
    };
    for (const auto& [utf8, bytes] : cases) EXPECT_EQ(to_cp1252(utf8), bytes) << utf8;
}

}  // namespace
}  // namespace quarn7
