// The quarn7 program end to end against its built-in simulated unit, as scripts and users run it.
#include <gmock/gmock.h>
#include <sys/wait.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "support/pty.h"

namespace {

using namespace ::testing;
using Json = nlohmann::ordered_json;
using Args = std::vector<std::string>;

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
        for (std::string line; std::getline(lines, line);) {
            values.push_back(Json::parse(line).at(Json::json_pointer(pointer)));
        }
        return values;
    }
};

// The program's command line for the shell, against its own simulated unit answering at once, in
// a decimal-comma locale: readable lines take the host's number format, JSON keeps its own.
std::string command(Args args) {
    std::string line = "LC_ALL=nl_NL.UTF-8 " QUARN7_CLI_PATH;
    if (std::ranges::count(args, "--device") == 0) {
        args.insert(args.begin(), {"--simulate", "--unpaced"});
    }
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
    // After "--" a word starting with "-" is an argument.
    EXPECT_THAT(run({"--json", "--", "hooglaag", "-1", "empty:", "empty:"}).column("/call"),
                ElementsAre("hooglaag"));
    const Result refused = run({"--diagnostics", "--refuse", "meterteller_aan"});
    EXPECT_EQ(refused.out, "meterteller_aan -> done [refused]\n");
    EXPECT_EQ(refused.err, "226010D\nCommand not accepted\n");
    EXPECT_EQ(run({"--script", "-"}, "afstand=12.3\nafstand\nlees_waarde 45\n").out,
              "afstand=12,3 -> afstand = 123 (Integer) [acknowledged]\n"
              "afstand -> 12,3 (Double) [reply_received]\n"
              "lees_waarde(45) -> tekst = 0 (Double) [reply_received]\n");
}

TEST(CliJson, MessagesAndOutcomesOfEachKindOfEnding) {
    const std::tuple<Args, std::vector<std::string>, Json> cases[] = {
        {{"--refuse", "tijd_aan"}, {"220010D", "Command not accepted"}, "refused"},
        {{"--silent", "tijd_aan"}, {"220010D", "No reaction from DE"}, "no_reaction"},
        {{"--no-open", "tijd_aan"}, {"220010D"}, "port_closed"},
        {{"afstand"}, {"22B1000D"}, "reply_received"},
        {{"hooglaag", "1", "empty:", "empty:"}, {}, nullptr},  // sends nothing
    };
    for (auto [args, messages, outcome] : cases) {
        args.insert(args.begin(), {"--json", "--diagnostics"});
        const Result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_THAT(r.column("/messages"), ElementsAre(Json(messages)));
        EXPECT_THAT(r.column("/outcome"), ElementsAre(outcome));
    }
}

// Neither a call's error (1) nor a usage mistake (2) sends anything or lets a later line run.
TEST(CliFailures, ExitStatusAndReasonOnStandardErrorAndNothingSent) {
    const TempFile script("# line 1\n\nmetertelle_uit\ntijd_aan\n");
    const std::tuple<Args, std::string, int, std::string> cases[] = {
        {{"--script", "-"}, "afstand=3276.8\ntijd_aan\n", 1, "afstand=3276,8 -> error 6: Overflow"},
        {{"--device", "/dev/quarn7-none", "tijd_aan"}, "", 1, "No such device: /dev/quarn7-none"},
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
    };
    for (auto [args, input, status, said] : cases) {
        args.insert(args.begin(), {"--trace", "--diagnostics"});
        const Result r = run(args, input);
        EXPECT_EQ(r.status, status) << PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, HasSubstr(said));
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
    ASSERT_NE(program, nullptr);
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
         R"("outcome":null,"error":{"number":9,"description":"Subscript out of range"}})"},
    };
    for (const auto& [line, expected] : steps) {
        ASSERT_EQ(::write(::fileno(program), line.data(), line.size()), ssize_t(line.size()));
        std::string answer;
        for (std::string more = "?"; !more.empty() && !answer.ends_with("\n"); answer += more) {
            more = output.receive(1, std::chrono::seconds(30));
        }
        ASSERT_THAT(answer, HasSubstr(expected)) << "answer to " << line;
    }
    const int status = ::pclose(program);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;  // the error ends the run
}

TEST(CliOptions, ListMembersTraceNoOpenAndTheTour) {
    EXPECT_THAT(run({"--list-members"}).out, MatchesRegex("regel +get\n([^\n]+\n){124}"));
    EXPECT_EQ(run({"--list-members", "--json"}).column("").at(7).dump(),
              R"({"name":"OpenClose","kind":"method","arguments":["blnValue"]})");

    // The trace: on standard error only, and only the frame sent once the port was opened.
    const Result closed = run({"--json", "--trace", "--no-open", "--script", "-"},
                              "meterteller_aan\nOpenClose bool:true\nmeterteller_aan\n");
    EXPECT_THAT(closed.column("/outcome"), ElementsAre("port_closed", nullptr, "acknowledged"));
    const std::regex trace(R"( *\d+\.\d{6} TX 02 01 00 00 26 00 0D\n *\d+\.\d{6} RX 06\n)");
    EXPECT_TRUE(std::regex_match(closed.err, trace)) << closed.err;

    const Result tour = run({"--json", "--fast-reads", "--tour"});
    EXPECT_THAT(tour.column("/error"), Each(nullptr));
    EXPECT_THAT(tour.column("/outcome"), Each(AnyOf("acknowledged", "reply_received")));
    const auto calls = tour.column("/call");
    EXPECT_EQ(std::ranges::count(calls, Json("lees_waarde")), 28);  // one per item
    EXPECT_EQ(calls.back(), "helling_instant");
}

}  // namespace
