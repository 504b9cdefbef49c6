// The quarn7 program end to end against its built-in simulated unit, and its script parser.
#include <gmock/gmock.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "output.h"
#include "script_line.h"
#include "support/pty.h"

namespace {

using namespace ::testing;
using namespace quarn7;
using namespace quarn7::cli;
using namespace std::literals;
using Args = std::vector<std::string>;
using I = std::int16_t;

TEST(ScriptLine, SplitsWordsAsAShellDoesAndTypesValuesByPrefixOrShape) {
    const std::pair<std::string_view, Args> splits[] = {
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

TEST(ScriptLine, ResolvesCallsRanksNamesIgnoringCaseAndFormatsValuesAndTraces) {
    const Call let = resolve_call({"schrijf_tekst_veld=a=b", "big", "world"});
    EXPECT_THAT(let.args, ElementsAre(Variant("a=b big world")));  // all after the first "="
    EXPECT_THAT(resolve_call({"afstand=dbl:1"}).args, ElementsAre(Variant(1.0)));
    EXPECT_EQ(std::tuple(let.member->kind, resolve_call({"afstand"}).member->kind,
                         resolve_call({"mvarComObject=x"}).member->kind),
              std::tuple(MemberKind::Let, MemberKind::Get, MemberKind::Set));
    for (const Args& words : {Args{"=5"}, Args{}}) EXPECT_THROW(resolve_call(words), UsageError);
    EXPECT_THAT(closest_member_names("teller1_0", 2), ElementsAre("Teller1_0", "Teller2_0"));
    using enum TraceEvent::Direction;
    const Clock::time_point t0{};
    EXPECT_EQ(variant_json(Variant(0.1f)).dump(), R"({"type":"Single","value":0.1})");
    EXPECT_EQ(variant_json(Variant(std::make_shared<Object>())).dump(), R"({"type":"Object"})");
    EXPECT_EQ(trace_line({t0 + 1234567us, Out, "\x02\x00\x26"s}, t0), "   1.234567 TX 02 00 26");
    EXPECT_EQ(trace_line({t0 + 12us, In, "\x06\xFF"}, t0), "   0.000012 RX 06 FF");
    CallReport read;
    read.member = find_member("lees_data", MemberKind::Get);
    read.args_before = {I{40}};
    read.args_after = {"a\x01\n\\\"\xC2\x81"};  // C0, quoting, C1
    EXPECT_EQ(report_line(read), R"(lees_data(40) -> tekst = "a\x01\x0A\\\"\u0081" (String))");
}

struct TempFile {
    explicit TempFile(std::string_view text = "") {
        char name[] = "/tmp/quarn7-cli-test-XXXXXX";
        ::close(::mkstemp(name));
        std::ofstream(path = name) << text;
    }
    ~TempFile() { std::remove(path.c_str()); }
    std::string text() const { return (std::stringstream() << std::ifstream(path).rdbuf()).str(); }
    std::string path;
};
struct Result {
    int status = -1;  // -1: did not end by itself
    std::string out, err;
    std::vector<Json> column(const std::string& pointer) const {  // of every JSON line
        std::vector<Json> values;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);)
            values.push_back(Json::parse(line).value(Json::json_pointer(pointer), Json()));
        return values;
    }
};

// Against its own simulated unit answering at once, in a locale with a decimal comma.
std::string command(Args args) {
    std::string line = "LC_ALL=nl_NL.UTF-8 " QUARN7_CLI_PATH;
    if (std::ranges::count(args, "--device") == 0) line += " --simulate --unpaced";
    for (const auto& word : args) line += " '" + word + "'";  // no word here holds a quote
    return line;
}
Result run(Args args, std::string_view input = "") {
    const TempFile in(input), out, err;
    const std::string files = " <" + in.path + " >" + out.path + " 2>" + err.path;
    const int status = std::system((command(std::move(args)) + files).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out.text(), err.text()};
}

TEST(CliOutput, OneLinePerCallJsonInFieldOrderReadableInTheHostsNumberFormat) {
    EXPECT_EQ(run({"--json", "meterteller_aan"}).out,
              R"({"call":"meterteller_aan","result":{"type":"Empty"},"args":[],)"
              R"("messages":[],"outcome":"acknowledged","error":null})" "\n");
    EXPECT_THAT(run({"--json", "--", "hooglaag", "-1", "empty:", "empty:"}).column("/call"),
                ElementsAre("hooglaag"));  // after "--", "-1" is an argument
    const Result refused = run({"--diagnostics", "--refuse", "meterteller_aan"});
    EXPECT_EQ(refused.out, "meterteller_aan -> done [refused]\n");
    EXPECT_EQ(refused.err, "226010D\nCommand not accepted\n");
    EXPECT_EQ(run({"--script", "-"}, "afstand=12.3\nafstand\nlees_waarde 45\n").out,
              "afstand=12,3 -> afstand = 123 (Integer) [acknowledged]\n"
              "afstand -> 12,3 (Double) [reply_received]\n"
              "lees_waarde(45) -> tekst = 0 (Double) [reply_received]\n");
    const Result strict = run({"--strict", "--refuse", "meterteller_aan"});
    EXPECT_EQ(std::tuple(strict.status, strict.out),
              std::tuple(3, "meterteller_aan -> not done [refused]\n"));
    const std::string lines = "bogus\ntijd=1\ntijd_aan\n";  // each kind of line failing or not
    const Result kept = run({"--json", "--keep-going", "--script", "-"}, lines);
    EXPECT_THAT(kept.column("/line"), ElementsAre(1, 2, nullptr));
    EXPECT_THAT(kept.column("/outcome"), ElementsAre(nullptr, nullptr, "acknowledged"));
    EXPECT_EQ(kept.status, 2);  // as its first failed line
    EXPECT_THAT(run({"--json", "--script", "-"}, lines).column("/error/usage"),
                ElementsAre(StartsWith("unknown member \"bogus\"")));  // then it stops
}

// Each kind of ending: its exit status, and in JSON its messages and outcome. A call's error (1)
// or a usage mistake (2) says why on standard error only, sends nothing, lets no later line run.
TEST(CliEndings, ExitStatusAndWhatEachKindOfEndingReports) {
    const TempFile script("# line 1\n\nmetertelle_uit\ntijd_aan\n");
    const std::tuple<Args, std::string, int, std::string> cases[] = {
        {{"--refuse", "tijd_aan"}, "", 0, R"(,"Command not accepted"],"outcome":"refused")"},
        {{"--silent", "tijd_aan"}, "", 0, R"(,"No reaction from DE"],"outcome":"no_reaction")"},
        {{"--no-open", "tijd_aan"}, "", 0, R"("messages":["220010D"],"outcome":"port_closed")"},
        {{"afstand"}, "", 0, R"("messages":["22B1000D"],"outcome":"reply_received")"},
        {{"hooglaag", "1", "empty:", "empty:"}, "", 0, R"("messages":[],"outcome":null)"},
        {{"--script", "-"}, "afstand=3276.8\ntijd_aan\n", 1, "afstand=3276,8 -> error 6: Overflow"},
        {{"--device", "/dev/quarn7-none", "tijd_aan"}, "", 1, "No such device: /dev/quarn7-none"},
        {{"--device", "rfc2217://[::1]:1", "tijd_aan"}, "", 1, "refused: rfc2217://[::1]:1\n"},
        {{"--device", "tcp://quarn7.invalid:7", "tijd_aan"}, "", 1, "Host not found: quarn7.inva"},
        {{"--device", "tcp://::1:7", "tijd_aan"}, "", 1, "tcp://::1:7: expected HOST:PORT"},
        {{"--script", script.path}, "", 2, "line 3: unknown member \"metertelle_uit\""},
        {{"afstnd"}, "", 2, "unknown member \"afstnd\"\nclosest members: afstand, afstand2"},
        {{"lees_waarde"}, "", 2, "lees_waarde takes 1 argument(s), 0 given"},
        {{"meterteller_aan=1"}, "", 2, "meterteller_aan is a method"},
        {{"schrijf_commando", "5|63"}, "", 2, "call it as `schrijf_commando=tekst`"},
        {{"lees_waarde", "int:x"}, "", 2, "int: wants a whole number"},
        {{}, "", 2, "give one CALL, --script FILE or --tour"},
        {{"--tour", "afstand"}, "", 2, "give one CALL"},
        {{"--bogus", "afstand"}, "", 2, "unknown option --bogus"},
        {{"--port", "0", "afstand"}, "", 2, "--port"},
        {{"--script", "/nonexistent/quarn7-script"}, "", 2, "cannot read script"},
        {{"--script", "/tmp"}, "", 2, "cannot read script /tmp"},
        {{"tijd=14:05"}, "", 1, "error 9: Subscript out of range: tijd expects hh:mm|dd-mm-yyyy"},
        {{"--device", "", "tijd_aan"}, "", 2, "--device needs a device path"},
        {{"--port", "2", "tijd_aan"}, "", 2, "--port excludes --simulate"},
        {{"--device", "/dev/null", "--port", "2", "tijd_aan"}, "", 2, "--device excludes --port"},
        {{"--device", "/dev/null", "--silent", "tijd_aan"}, "", 2, "need --simulate"},
        // No closest names sought for a name longer than any member's, and only its start shown.
        {{std::string(100000, 'a')}, "", 2, "member \"" + std::string(29, 'a') + "...\"\n"},
    };
    for (auto [args, input, status, said] : cases) {
        args.insert(args.begin(), {"--trace", "--diagnostics"});
        if (status == 0) args.insert(args.begin(), "--json");
        const Result r = run(args, input);
        EXPECT_EQ(r.status, status) << PrintToString(args);
        EXPECT_THAT(status ? r.err : r.out, HasSubstr(said));
        if (status == 0) continue;
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, Not(HasSubstr(" TX "))) << "sent a frame";
    }
}

// Through a pipe each line is answered before the next one is written. The lines share one
// controller: diagnostics turned on stay on, a value written reads back.
TEST(CliScript, StandardInputAnswersEachLineBeforeTheNextIsWritten) {
    int answers[2];
    ASSERT_EQ(::pipe(answers), 0);
    const std::string to_pipe = " >&" + std::to_string(answers[1]);
    FILE* program = ::popen((command({"--json", "--script", "-"}) + to_pipe).c_str(), "w");
    ::close(answers[1]);
    const quarn7::testing::LineEnd output(answers[0]);
    const std::pair<std::string, std::string> steps[] = {
        {"meldingen\n", R"("call":"meldingen")"},
        {"OpenClose bool:true\n", R"("messages":["Already open"])"},  // opened before line 1
        {"# comment\n\nafstand=12.3\r\n", R"("args":[{"type":"Integer","value":123}])"},
        {"afstand   # reads back\n", R"("result":{"type":"Double","value":12.3})"},
        {"hooglaag -1 empty: empty:\n",  // with what it writes back into its empty arguments
         R"({"type":"Integer","value":-1},{"type":"Double","value":-1.0},)"
         R"({"type":"Double","value":255.0}])"},
        {"ZetTekst '  Zürich  ' 161\n", R"("args":[{"type":"String","value":"Zürich"})"},
        {"schrijf_commando=5\n",
         R"("outcome":null,"error":{"number":9,"description":"Subscript out of range",)"
         R"("expects":"0..255|code"},"line":9})"},
    };
    for (const auto& [line, expected] : steps) {
        ASSERT_EQ(::write(::fileno(program), line.data(), line.size()), ssize_t(line.size()));
        std::string answer;
        for (std::string more = "?"; !more.empty() && !answer.ends_with("\n"); answer += more)
            more = output.receive(1, std::chrono::seconds(30));
        ASSERT_THAT(answer, HasSubstr(expected)) << "answer to " << line;
    }
    EXPECT_EQ(WEXITSTATUS(::pclose(program)), 1);  // the error ends the run
}

TEST(CliOptions, ListMembersTraceNoOpenAndTheTour) {
    const std::string members = run({"--list-members"}).out;
    EXPECT_THAT(members, MatchesRegex("regel +get\n([^\n]+\n){124}"));
    for (const char* form : {" let afstand=0..3276.7\n", " let value=X|Y|code\n",
                             " method x=1..16 y=any tekst=text\n", " get tekst=0..255\n"})
        EXPECT_THAT(members, HasSubstr(form));
    EXPECT_EQ(run({"--list-members", "--json"}).column("").at(7).dump(),
              R"({"name":"OpenClose","kind":"method","arguments":["blnValue"],)"
              R"("expects":"blnValue=true|false"})");
    // The trace: on standard error only, and only the frame sent once the port was opened.
    const Result closed = run({"--json", "--trace", "--no-open", "--script", "-"},
                              "meterteller_aan\nOpenClose bool:true\nmeterteller_aan\n");
    EXPECT_THAT(closed.column("/outcome"), ElementsAre("port_closed", nullptr, "acknowledged"));
    const char* trace = " *[0-9]+\\.[0-9]{6} TX 02 01 00 00 26 00 0D\n *[0-9]+\\.[0-9]{6} RX 06\n";
    EXPECT_THAT(closed.err, MatchesRegex(trace));
    const Result tour = run({"--json", "--fast-reads", "--tour"});
    EXPECT_THAT(tour.column("/error"), Each(nullptr));
    EXPECT_THAT(tour.column("/outcome"), Each(AnyOf("acknowledged", "reply_received")));
    EXPECT_EQ(std::ranges::count(tour.column("/call"), Json("lees_waarde")), 28);  // one per item
    EXPECT_EQ(tour.column("/call").back(), "helling_instant");
}

}  // namespace
