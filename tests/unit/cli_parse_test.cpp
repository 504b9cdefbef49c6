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
using ::testing::HasSubstr;
using Words = std::vector<std::string>;

struct SplitCase {
    std::string_view line;
    Words words;
};

TEST(SplitWords, SplitsAsAShellDoes) {
    const SplitCase cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"# a comment", {}},
        {"  # indented comment", {}},
        {"meterteller_aan", {"meterteller_aan"}},
        {"  lees_waarde \t 45  ", {"lees_waarde", "45"}},
        {"lees_waarde 45 # tilt", {"lees_waarde", "45"}},
        {"schrijf_tekst_veld=#1", {"schrijf_tekst_veld=#1"}},
        {"a#b", {"a#b"}},
        {"zettekst_x_y 1 1 \"two  words\"", {"zettekst_x_y", "1", "1", "two  words"}},
        {"schrijf_tekst_veld=\"  AB  \"", {"schrijf_tekst_veld=  AB  "}},
        {"x 'single \"kept\" $HOME \\n'", {"x", "single \"kept\" $HOME \\n"}},
        {"x \"a \\\"q\\\" \\\\ \\$ \\n\"", {"x", "a \"q\" \\ $ \\n"}},
        {"x a\\ b \\'c", {"x", "a b", "'c"}},
        {"x ''", {"x", ""}},
        {"x \"\"", {"x", ""}},
        {"x '#not' \"#a\" \\#b", {"x", "#not", "#a", "#b"}},
        {"venster_zetten=2|3|96", {"venster_zetten=2|3|96"}},
        {"x trailing\\", {"x", "trailing\\"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_THAT(split_words(c.line), ElementsAreArray(c.words));
    }
}

TEST(SplitWords, UnterminatedQuotesAreUsageErrors) {
    EXPECT_THROW(split_words("x 'open"), UsageError);
    EXPECT_THROW(split_words("x \"open"), UsageError);
    EXPECT_THROW(split_words("x \"ends in escape\\\""), UsageError);
}

struct ValueCase {
    std::string_view text;
    Variant value;
};

TEST(ParseValue, TypesFollowPrefixOrShape) {
    const ValueCase cases[] = {
        {"0", Variant(std::int16_t{0})},
        {"32767", Variant(std::int16_t{32767})},
        {"-32768", Variant(std::int16_t{-32768})},
        {"+12", Variant(std::int16_t{12})},
        {"32768", Variant(std::int32_t{32768})},
        {"-32769", Variant(std::int32_t{-32769})},
        {"2147483647", Variant(std::int32_t{2147483647})},
        {"2147483648", Variant(2147483648.0)},
        {"99999999999999999999", Variant(1e20)},
        {"12.3", Variant(12.3)},
        {"-0.5", Variant(-0.5)},
        {".5", Variant(0.5)},
        {"5.", Variant(5.0)},
        {"1e3", Variant(1000.0)},
        {"1E-2", Variant(0.01)},
        {"12,5", Variant("12,5")},
        {"0x10", Variant("0x10")},
        {"inf", Variant("inf")},
        {"1e", Variant("1e")},
        {"-", Variant("-")},
        {"", Variant("")},
        {"2|3|96", Variant("2|3|96")},
        {"14:05|3-12-2026", Variant("14:05|3-12-2026")},
        {"abc:def", Variant("abc:def")},
        {"int:5", Variant(std::int16_t{5})},
        {"int:-32768", Variant(std::int16_t{-32768})},
        {"long:5", Variant(std::int32_t{5})},
        {"long:-2147483648", Variant(std::int32_t{-2147483647 - 1})},
        {"dbl:5", Variant(5.0)},
        {"dbl:-2.5e1", Variant(-25.0)},
        {"str:5", Variant("5")},
        {"str:", Variant("")},
        {"str:int:5", Variant("int:5")},
        {"str: spaces kept ", Variant(" spaces kept ")},
        {"bool:true", Variant(true)},
        {"bool:false", Variant(false)},
        {"empty:", Variant()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Variant value = parse_value(c.text);
        EXPECT_EQ(value.type(), c.value.type());
        EXPECT_EQ(value, c.value);
    }
}

TEST(ParseValue, PrefixedTextsThatDoNotFitAreUsageErrors) {
    for (const auto text :
         {"int:32768", "int:1.5", "int:", "int:abc", "int: 5", "long:2147483648", "long:1e3",
          "dbl:", "dbl:1,5", "dbl:abc", "bool:True", "bool:1", "bool:", "empty:x", "empty: "}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(parse_value(text), UsageError);
    }
}

std::string usage_message(const Words& words) {
    try {
        resolve_call(words);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "no usage error";
}

TEST(ResolveCall, FindsTheMemberOfEachCallForm) {
    const Call get = resolve_call({"afstand"});
    EXPECT_EQ(get.member->kind, MemberKind::Get);
    EXPECT_TRUE(get.args.empty());

    const Call let = resolve_call({"afstand=12.3"});
    EXPECT_EQ(let.member->kind, MemberKind::Let);
    EXPECT_EQ(let.member->name, "afstand");
    EXPECT_THAT(let.args, ElementsAre(Variant(12.3)));

    const Call method = resolve_call({"zettekst_x_y", "1", "long:1", "str:7"});
    EXPECT_EQ(method.member->name, "zettekst_x_y");
    EXPECT_THAT(method.args,
                ElementsAre(Variant(std::int16_t{1}), Variant(std::int32_t{1}), Variant("7")));

    EXPECT_EQ(resolve_call({"mvarComObject=x"}).member->kind, MemberKind::Set);
    EXPECT_EQ(resolve_call({"ComObject=x"}).member->kind, MemberKind::Let);
}

TEST(ResolveCall, LetValueIsEverythingAfterTheFirstEquals) {
    EXPECT_THAT(resolve_call({"schrijf_tekst_veld=a=b"}).args, ElementsAre(Variant("a=b")));
    EXPECT_THAT(resolve_call({"schrijf_tekst_veld=Hello", "big", "world"}).args,
                ElementsAre(Variant("Hello big world")));
    EXPECT_THAT(resolve_call({"schrijf_tekst_veld=  AB  "}).args, ElementsAre(Variant("  AB  ")));
    EXPECT_THAT(resolve_call({"schrijf_tekst_veld="}).args, ElementsAre(Variant("")));
    EXPECT_THAT(resolve_call({"afstand=dbl:1"}).args, ElementsAre(Variant(1.0)));
    EXPECT_THAT(resolve_call({"schrijf_tekst_veld=empty:"}).args, ElementsAre(Variant()));
}

TEST(ResolveCall, UsageErrorsNameTheProblemAndTheClosestMembers) {
    const std::string unknown = usage_message({"afstnd"});
    EXPECT_THAT(unknown, HasSubstr("unknown member \"afstnd\""));
    EXPECT_THAT(unknown, HasSubstr("closest members: afstand, afstand2"));

    const std::string missing = usage_message({"lees_waarde"});
    EXPECT_THAT(missing, HasSubstr("lees_waarde takes 1 argument(s), 0 given"));
    EXPECT_THAT(missing, HasSubstr("`lees_waarde tekst`"));
    EXPECT_THAT(missing, HasSubstr("closest members: lees_waarde"));

    EXPECT_THAT(usage_message({"meterteller_aan", "1"}), HasSubstr("takes 0 argument(s), 1 given"));
    EXPECT_THAT(usage_message({"meterteller_aan=1"}),
                HasSubstr("meterteller_aan is a method: call it as `meterteller_aan`"));
    EXPECT_THAT(usage_message({"schrijf_commando", "5|63"}),
                HasSubstr("schrijf_commando is a let: call it as `schrijf_commando=tekst`"));
    EXPECT_THAT(usage_message({"lees_waarde", "int:x"}),
                HasSubstr("lees_waarde, argument tekst: int: wants"));
    EXPECT_THAT(usage_message({"=5"}), HasSubstr("unknown member \"\""));
    EXPECT_THAT(usage_message({}), HasSubstr("no call given"));
}

TEST(ClosestNames, RankByEditDistanceIgnoringCase) {
    EXPECT_EQ(edit_distance("", "abc"), 3u);
    EXPECT_EQ(edit_distance("kitten", "sitting"), 3u);
    EXPECT_EQ(edit_distance("TELLER1_0", "Teller1_0"), 0u);
    EXPECT_EQ(edit_distance("afstand", "afstand2"), 1u);
    EXPECT_THAT(closest_member_names("teller1_0", 2), ElementsAre("Teller1_0", "Teller2_0"));
    EXPECT_THAT(closest_member_names("meterteller_aam", 1), ElementsAre("meterteller_aan"));
    // Names that stand twice in the interface (get and let) are listed once.
    EXPECT_THAT(closest_member_names("afstand", 2), ElementsAre("afstand", "afstand2"));
}

TEST(VariantJson, EachTypeHasItsShape) {
    EXPECT_EQ(variant_json(Variant()).dump(), R"({"type":"Empty"})");
    EXPECT_EQ(variant_json(Variant(std::int16_t{-5})).dump(), R"({"type":"Integer","value":-5})");
    EXPECT_EQ(variant_json(Variant(std::int32_t{70000})).dump(),
              R"({"type":"Long","value":70000})");
    EXPECT_EQ(variant_json(Variant(0.1f)).dump(), R"({"type":"Single","value":0.1})");
    EXPECT_EQ(variant_json(Variant(-0.01)).dump(), R"({"type":"Double","value":-0.01})");
    EXPECT_EQ(variant_json(Variant("Zürich \"1\"")).dump(),
              R"({"type":"String","value":"Zürich \"1\""})");
    EXPECT_EQ(variant_json(Variant(true)).dump(), R"({"type":"Boolean","value":true})");
    EXPECT_EQ(variant_json(Variant(std::make_shared<Object>())).dump(), R"({"type":"Object"})");
}

CallReport report_for(const Words& words) {
    Call call = resolve_call(words);
    CallReport report;
    report.member = call.member;
    report.args_before = call.args;
    report.args_after = call.args;
    return report;
}

TEST(Report, JsonHasTheContractsFieldsInOrder) {
    CallReport report = report_for({"lees_waarde", "45"});
    report.args_after[0] = Variant(-0.01);
    report.messages = {"2001012D", "second"};
    report.outcome = Outcome::ReplyReceived;
    EXPECT_EQ(report_json(report).dump(),
              R"({"call":"lees_waarde","result":{"type":"Empty"},)"
              R"("args":[{"type":"Double","value":-0.01}],"messages":["2001012D","second"],)"
              R"("outcome":"reply_received","error":null})");

    CallReport failed = report_for({"afstand=3276.8"});
    failed.error = Error(ErrorNumber::Overflow, "Overflow");
    EXPECT_EQ(report_json(failed).dump(),
              R"({"call":"afstand","result":{"type":"Empty"},)"
              R"("args":[{"type":"Double","value":3276.8}],"messages":[],)"
              R"("outcome":null,"error":{"number":6,"description":"Overflow"}})");
}

TEST(Report, ReadableLineShowsResultAndWriteBacks) {
    CallReport read = report_for({"lees_waarde", "45"});
    read.args_after[0] = Variant(-0.5);
    read.outcome = Outcome::ReplyReceived;
    EXPECT_THAT(report_line(read), HasSubstr("lees_waarde(45) -> tekst = -"));
    EXPECT_THAT(report_line(read), HasSubstr("(Double) [reply_received]"));

    CallReport get = report_for({"helling_instant"});
    get.result = Variant("");
    EXPECT_EQ(report_line(get), R"(helling_instant -> "" (String))");

    CallReport split = report_for({"hooglaag", "str:x", "empty:", "empty:"});
    split.args_after[2] = Variant(std::int16_t{255});
    EXPECT_EQ(report_line(split), R"(hooglaag("x", Empty, Empty) -> laag = 255 (Integer))");

    CallReport unchanged = report_for({"meterteller_aan"});
    unchanged.outcome = Outcome::NoReaction;
    EXPECT_EQ(report_line(unchanged), "meterteller_aan -> done [no_reaction]");

    CallReport failed = report_for({"schrijf_commando=str:5"});
    failed.error = Error(ErrorNumber::SubscriptOutOfRange, "Subscript out of range");
    EXPECT_EQ(report_line(failed), R"(schrijf_commando="5" -> error 9: Subscript out of range)");
}

TEST(Trace, LineHasSecondsDirectionAndHex) {
    const Clock::time_point start{};
    const TraceEvent out{start + std::chrono::microseconds(1234567), TraceEvent::Direction::Out,
                         std::string("\x02\x01\x00\x00\x26\x00\x0D", 7)};
    EXPECT_EQ(trace_line(out, start), "   1.234567 TX 02 01 00 00 26 00 0D");
    const TraceEvent in{start + std::chrono::microseconds(12), TraceEvent::Direction::In,
                        std::string("\x06\xFF", 2)};
    EXPECT_EQ(trace_line(in, start), "   0.000012 RX 06 FF");
}

}  // namespace
}  // namespace quarn7::cli
