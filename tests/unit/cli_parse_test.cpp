// The command-line host's word splitting, typed values, call resolution and output shapes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "output.h"
#include "script_line.h"

namespace quarn7::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Words = std::vector<std::string>;

TEST(SplitWords, SplitsAsAShellDoes) {
    const std::pair<std::string_view, Words> cases[] = {
        {"  # comment", {}},
        {"  lees_waarde \t 45 # tilt", {"lees_waarde", "45"}},
        {"schrijf_tekst_veld=#1 a#b", {"schrijf_tekst_veld=#1", "a#b"}},
        {"x \"two  words\" ''", {"x", "two  words", ""}},
        {"schrijf_tekst_veld=\"  AB  \"", {"schrijf_tekst_veld=  AB  "}},
        {"x 'single \"kept\" $HOME \\n'", {"x", "single \"kept\" $HOME \\n"}},
        {"x \"a \\\"q\\\" \\\\ \\$ \\n\"", {"x", "a \"q\" \\ $ \\n"}},
        {"x a\\ b \\'c \\#d", {"x", "a b", "'c", "#d"}},
        {"x trailing\\", {"x", "trailing\\"}},
    };
    for (const auto& [line, words] : cases) {
        SCOPED_TRACE(line);
        EXPECT_THAT(split_words(line), ElementsAreArray(words));
    }
    EXPECT_THROW(split_words("x 'open"), UsageError);
    EXPECT_THROW(split_words("x \"ends in escape\\\""), UsageError);
}

TEST(ParseValue, TypesFollowPrefixOrShape) {
    const std::pair<std::string_view, Variant> cases[] = {
        {"-32768", Variant(std::int16_t{-32768})}, {"32768", Variant(std::int32_t{32768})},
        {"-2147483648", Variant(std::int32_t{-2147483647 - 1})},
        {"2147483648", Variant(2147483648.0)},     {".5", Variant(0.5)},
        {"1E-2", Variant(0.01)},                   {"12,5", Variant("12,5")},
        {"inf", Variant("inf")},                   {"abc:def", Variant("abc:def")},
        {"int:-5", Variant(std::int16_t{-5})},     {"long:5", Variant(std::int32_t{5})},
        {"dbl:5", Variant(5.0)},                   {"str:int:5", Variant("int:5")},
        {"bool:false", Variant(false)},            {"empty:", Variant()},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parse_value(text), value);
    }
    for (const auto text : {"int:32768", "int:1.5", "int: 5", "long:2147483648", "dbl:", "dbl:1,5",
                            "bool:True", "empty: "}) {
        EXPECT_THROW(parse_value(text), UsageError) << text;
    }
}

TEST(ResolveCall, LetValueIsEverythingAfterTheFirstEquals) {
    const Call let = resolve_call({"schrijf_tekst_veld=a=b", "big", "world"});
    EXPECT_EQ(let.member->kind, MemberKind::Let);
    EXPECT_THAT(let.args, ElementsAre(Variant("a=b big world")));
    EXPECT_THAT(resolve_call({"afstand=dbl:1"}).args, ElementsAre(Variant(1.0)));
    EXPECT_EQ(resolve_call({"afstand"}).member->kind, MemberKind::Get);
    EXPECT_EQ(resolve_call({"mvarComObject=x"}).member->kind, MemberKind::Set);
    EXPECT_THROW(resolve_call({"=5"}), UsageError);
    EXPECT_THROW(resolve_call({}), UsageError);
}

TEST(ClosestNames, RankByEditDistanceIgnoringCase) {
    EXPECT_EQ(edit_distance("kitten", "sitting"), 3u);
    EXPECT_EQ(edit_distance("TELLER1_0", "Teller1_0"), 0u);
    EXPECT_THAT(closest_member_names("teller1_0", 2), ElementsAre("Teller1_0", "Teller2_0"));
    // Names that stand twice in the interface (get and let) are listed once.
    EXPECT_THAT(closest_member_names("afstand", 2), ElementsAre("afstand", "afstand2"));
}

TEST(Output, ValuesAndTraceLines) {
    EXPECT_EQ(variant_json(Variant(0.1f)).dump(), R"({"type":"Single","value":0.1})");
    EXPECT_EQ(variant_json(Variant(std::make_shared<Object>())).dump(), R"({"type":"Object"})");
    const Clock::time_point start{};
    const TraceEvent out{start + std::chrono::microseconds(1234567), TraceEvent::Direction::Out,
                         std::string("\x02\x01\x00\x00\x26\x00\x0D", 7)};
    EXPECT_EQ(trace_line(out, start), "   1.234567 TX 02 01 00 00 26 00 0D");
    const TraceEvent in{start + std::chrono::microseconds(12), TraceEvent::Direction::In,
                        "\x06\xFF"};
    EXPECT_EQ(trace_line(in, start), "   0.000012 RX 06 FF");
}

}  // namespace
}  // namespace quarn7::cli
