// The command-line host's word splitting, typed values, call resolution and output shapes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "output.h"
#include "script_line.h"

namespace quarn7::cli {
namespace {

using namespace std::literals;
using ::testing::ElementsAre;
using Words = std::vector<std::string>;
using I = std::int16_t;

TEST(ScriptLine, SplitsWordsAsAShellDoesAndTypesValuesByPrefixOrShape) {
    const std::pair<std::string_view, Words> splits[] = {
        {"  # comment", {}}, {"x 'single \"kept\" $HOME \\n'", {"x", "single \"kept\" $HOME \\n"}},
        {"x trailing\\", {"x", "trailing\\"}}, {"x a\\ b \\'c \\#d", {"x", "a b", "'c", "#d"}},
        {"  lees_waarde \t 45 =#1 a#b # tilt", {"lees_waarde", "45", "=#1", "a#b"}},
        {"x \"two  words\" ''", {"x", "two  words", ""}},
        {"schrijf_tekst_veld=\"  AB  \"", {"schrijf_tekst_veld=  AB  "}},
        {"x \"a \\\"q\\\" \\\\ \\$ \\n\"", {"x", "a \"q\" \\ $ \\n"}}};
    for (const auto& [line, words] : splits) EXPECT_EQ(split_words(line), words) << line;
    for (const char* line : {"x 'open", "x \"a\\\""}) EXPECT_THROW(split_words(line), UsageError);
    const std::pair<std::string_view, Variant> values[] = {{"-32768", I{-32768}}, {"32768", 32768},
        {"-2147483648", -2147483647 - 1}, {"2147483648", 2147483648.0}, {".5", 0.5}, {"1E-2", 0.01},
        {"12,5", "12,5"}, {"inf", "inf"}, {"abc:def", "abc:def"}, {"int:-5", I{-5}}, {"long:5", 5},
        {"dbl:5", 5.0}, {"str:int:5", "int:5"}, {"bool:false", false}, {"empty:", Variant()}};
    for (const auto& [text, value] : values) EXPECT_EQ(parse_value(text), value) << text;
    for (const char* text : {"int:32768", "int:1.5", "int: 5", "long:2147483648", "dbl:", "dbl:1,5",
                             "bool:True", "empty: "})
        EXPECT_THROW(parse_value(text), UsageError) << text;
}

TEST(ScriptLine, ResolvesCallsAndRanksNamesByEditDistanceIgnoringCase) {
    const Call let = resolve_call({"schrijf_tekst_veld=a=b", "big", "world"});
    EXPECT_THAT(let.args, ElementsAre(Variant("a=b big world")));  // all after the first "="
    EXPECT_THAT(resolve_call({"afstand=dbl:1"}).args, ElementsAre(Variant(1.0)));
    EXPECT_EQ(std::tuple(let.member->kind, resolve_call({"afstand"}).member->kind,
                         resolve_call({"mvarComObject=x"}).member->kind),
              std::tuple(MemberKind::Let, MemberKind::Get, MemberKind::Set));
    for (const Words& words : {Words{"=5"}, Words{}}) EXPECT_THROW(resolve_call(words), UsageError);
    EXPECT_EQ(edit_distance("kitten", "sitting"), 3u);
    EXPECT_EQ(edit_distance("TELLER1_0", "Teller1_0"), 0u);
    EXPECT_THAT(closest_member_names("teller1_0", 2), ElementsAre("Teller1_0", "Teller2_0"));
    EXPECT_THAT(closest_member_names("afstand", 2), ElementsAre("afstand", "afstand2"));  // once
}

TEST(Output, ValuesAndTraceLines) {
    using enum TraceEvent::Direction;
    const Clock::time_point t0{};
    EXPECT_EQ(variant_json(Variant(0.1f)).dump(), R"({"type":"Single","value":0.1})");
    EXPECT_EQ(variant_json(Variant(std::make_shared<Object>())).dump(), R"({"type":"Object"})");
    EXPECT_EQ(trace_line({t0 + 1234567us, Out, "\x02\x00\x26"s}, t0), "   1.234567 TX 02 00 26");
    EXPECT_EQ(trace_line({t0 + 12us, In, "\x06\xFF"}, t0), "   0.000012 RX 06 FF");
}

}  // namespace
}  // namespace quarn7::cli
