// The quarn7 program end to end against its built-in simulated unit on a pseudo-terminal: the
// JSON contract, exit statuses, script mode through a file and through a pipe, usage errors, the
// member list, the trace and the tour.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "support/pty.h"

namespace quarn7 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Json = nlohmann::ordered_json;
using Args = std::vector<std::string>;

struct Result {
    int status = -1;
    std::string out, err;
};

// A file in /tmp holding `text`, gone with the object.
struct TempFile {
    explicit TempFile(std::string_view text = "") {
        char name[] = "/tmp/quarn7-cli-test-XXXXXX";
        ::close(::mkstemp(name));
        path = name;
        std::ofstream(path) << text;
    }
    ~TempFile() { std::remove(path.c_str()); }
    std::string text() const {
        std::ostringstream all;
        all << std::ifstream(path).rdbuf();
        return all.str();
    }
    std::string path;
};

// The program's command line for the shell, against its own simulated unit answering at once.
std::string command(Args args, const std::string& locale = "") {
    std::string line = (locale.empty() ? "" : "LC_ALL=" + locale + " ") + QUARN7_CLI_PATH;
    if (args.empty() || args[0] != "--device") args.insert(args.begin(), {"--simulate", "--unpaced"});
    for (const auto& word : args) {
        line += " '";
        for (const char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += "'";
    }
    return line;
}

Result run(const Args& args, std::string_view input = "", const std::string& locale = "") {
    const TempFile in(input), out, err;
    const int status =
        std::system((command(args, locale) + " <" + in.path + " >" + out.path + " 2>" + err.path).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out.text(), err.text()};
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<Json> json_lines(const std::string& out) {
    std::vector<Json> objects;
    for (const auto& line : lines_of(out)) objects.push_back(Json::parse(line));
    return objects;
}

long sent_frames(const std::string& trace) {
    return std::ranges::count_if(lines_of(trace), [](const std::string& line) {
        return line.find(" TX ") != std::string::npos;
    });
}

Json typed(std::string_view type, const Json& value) {
    return Json{{"type", type}, {"value", value}};
}

TEST(CliJson, OneObjectPerCallWithItsFieldsInOrderAndWriteBacksAsUtf8) {
    EXPECT_EQ(run({"--json", "meterteller_aan"}).out,
              R"({"call":"meterteller_aan","result":{"type":"Empty"},"args":[],)"
              R"("messages":[],"outcome":"acknowledged","error":null})" "\n");
    const Result r = run({"--json", "--script", "-"},
                         "afstand=12.3\nhooglaag -1 empty: empty:\nZetTekst '  Zürich  ' 161\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = json_lines(r.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["args"], Json::array({typed("Integer", 123)}));
    EXPECT_EQ(lines[1]["args"][0], typed("Integer", -1));
    EXPECT_EQ(lines[1]["args"][2]["value"], 255);
    EXPECT_EQ(lines[2]["args"][0], typed("String", "Zürich"));
    // After "--" a word starting with "-" is an argument.
    EXPECT_EQ(json_lines(run({"--json", "--", "hooglaag", "-1", "empty:", "empty:"}).out)
                  .at(0)["args"][2]["value"],
              255);
}

TEST(CliJson, AnErrorGivesItsNumberSendsNothingAndEndsTheRunWithStatusOne) {
    for (const auto& [call, number] : {std::pair{"afstand=3276.8", 6}, {"schrijf_commando=5", 9},
                                       {"foto_nummer=65536", 5}, {"eenheid_lc1=abc", 13}}) {
        SCOPED_TRACE(call);
        const Result r = run({"--json", "--trace", "--script", "-"},
                             std::string(call) + "\nmeterteller_aan\n");
        EXPECT_EQ(r.status, 1);
        const auto lines = json_lines(r.out);
        ASSERT_EQ(lines.size(), 1u);  // the line after did not run
        EXPECT_EQ(lines[0]["error"]["number"], number);
        EXPECT_FALSE(lines[0]["error"]["description"].get<std::string>().empty());
        EXPECT_TRUE(lines[0]["outcome"].is_null());
        EXPECT_EQ(sent_frames(r.err), 0) << r.err;
    }
}

TEST(CliJson, MessagesAndOutcomesOfEachKindOfEnding) {
    const std::tuple<Args, std::vector<std::string>, Json> cases[] = {
        {{"--refuse", "meterteller_aan"}, {}, "refused"},
        {{"--diagnostics", "--refuse", "meterteller_aan"},
         {"226010D", "Command not accepted"}, "refused"},
        {{"--diagnostics", "--silent", "meterteller_aan"},
         {"226010D", "No reaction from DE"}, "no_reaction"},
        {{"--no-open", "meterteller_aan"}, {}, "port_closed"},
        {{"afstand"}, {}, "reply_received"},
        {{"--diagnostics", "hooglaag", "1", "empty:", "empty:"}, {}, nullptr},
    };
    for (const auto& [words, messages, outcome] : cases) {
        Args args = words;
        args.insert(args.begin(), "--json");
        const Result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        const auto lines = json_lines(r.out);
        ASSERT_EQ(lines.size(), 1u) << r.out;
        EXPECT_EQ(lines[0]["messages"], Json(messages));
        EXPECT_EQ(lines[0]["outcome"], outcome);
    }
}

TEST(CliReadable, OneLinePerCallInTheHostsNumberFormatMessagesAndErrorsOnStandardError) {
    const Result refused = run({"--diagnostics", "--refuse", "meterteller_aan"});
    EXPECT_EQ(refused.out, "meterteller_aan -> done [refused]\n");
    EXPECT_THAT(refused.err, HasSubstr("226010D\nCommand not accepted\n"));
    const Result failed = run({"afstand=3276.8"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_THAT(failed.err, HasSubstr("afstand=3276.8 -> error 6: Overflow"));

    const std::string script = "afstand=12.3\nafstand\nlees_waarde 45\n";
    EXPECT_THAT(lines_of(run({"--script", "-"}, script, "nl_NL.UTF-8").out),
                ElementsAre("afstand=12,3 -> afstand = 123 (Integer) [acknowledged]",
                            "afstand -> 12,3 (Double) [reply_received]",
                            "lees_waarde(45) -> tekst = 0 (Double) [reply_received]"));
    EXPECT_EQ(json_lines(run({"--json", "--script", "-"}, script, "nl_NL.UTF-8").out).at(1)["result"],
              typed("Double", 12.3));
}

TEST(CliScript, FileLinesShareOneControllerAndAnUnknownMemberNamesItsLine) {
    const TempFile script(
        "# diagnostics stay on for the lines after\nmeldingen\n\nafstand=12.3\n   # comment\n"
        "afstand   # reads back what the line before wrote\n"
        "schrijf_tekst_veld=\"  two  words  \"\r\n");
    const Result r = run({"--json", "--script", script.path});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = json_lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[1]["messages"].size(), 1u);  // the echo: diagnostics are still on
    EXPECT_EQ(lines[2]["result"], typed("Double", 12.3));
    EXPECT_EQ(lines[3]["args"][0], typed("String", "  two  words  "));

    const TempFile bad("meterteller_aan\n\nmetertelle_uit\nmeterteller_uit\n");
    const Result usage = run({"--json", "--script", bad.path});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(json_lines(usage.out).size(), 1u);
    EXPECT_THAT(usage.err, HasSubstr("line 3: unknown member \"metertelle_uit\""));
}

// Through a pipe: each line is answered before the next one is written.
TEST(CliScript, StandardInputAnswersEachLineBeforeTheNextIsWritten) {
    const TempFile fifo;
    std::remove(fifo.path.c_str());
    ASSERT_EQ(::mkfifo(fifo.path.c_str(), 0600), 0);
    FILE* program =
        ::popen((command({"--json", "--diagnostics", "--script", "-"}) + " <" + fifo.path).c_str(), "r");
    ASSERT_NE(program, nullptr);
    const int input = ::open(fifo.path.c_str(), O_WRONLY);
    testing::LineEnd output(::dup(::fileno(program)));
    const std::pair<std::string, Json> steps[] = {
        // The port was opened before the first line was read.
        {"OpenClose bool:true\n", Json{{"messages", {"Already open"}}}},
        {"afstand=12.3\n", Json{{"args", {typed("Integer", 123)}}}},
        {"afstand\n", Json{{"result", typed("Double", 12.3)}}},
    };
    for (const auto& [line, expected] : steps) {
        ASSERT_EQ(::write(input, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::string answer;
        while (!answer.ends_with("\n")) {
            const std::string more = output.receive(1, std::chrono::seconds(30));
            if (more.empty()) break;
            answer += more;
        }
        ASSERT_FALSE(answer.empty()) << "no answer to " << line;
        const Json got = Json::parse(answer);
        for (const auto& [key, value] : expected.items()) EXPECT_EQ(got[key], value) << line;
    }
    ::close(input);
    const int status = ::pclose(program);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(CliUsage, MistakesExitWithTwoBeforeAnythingIsSent) {
    const std::pair<Args, std::vector<std::string>> cases[] = {
        {{"afstnd"}, {"unknown member \"afstnd\"", "closest members: afstand, afstand2"}},
        {{"lees_waarde"}, {"lees_waarde takes 1 argument(s), 0 given"}},
        {{"meterteller_aan=1"}, {"meterteller_aan is a method"}},
        {{"schrijf_commando", "5|63"}, {"call it as `schrijf_commando=tekst`"}},
        {{"lees_waarde", "int:x"}, {"int: wants a whole number"}},
        {{}, {"give one CALL, --script FILE or --tour"}},
        {{"--tour", "afstand"}, {"give one CALL"}},
        {{"--bogus", "afstand"}, {"unknown option --bogus"}},
        {{"--port", "0", "afstand"}, {"--port"}},
        {{"--script", "/nonexistent/quarn7-script"}, {"cannot read script"}},
    };
    for (const auto& [words, said] : cases) {
        Args args = {"--trace", "--diagnostics"};
        args.insert(args.end(), words.begin(), words.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        for (const auto& text : said) EXPECT_THAT(r.err, HasSubstr(text));
        EXPECT_EQ(sent_frames(r.err), 0);
    }
}

TEST(CliOptions, ListMembersTraceNoOpenAndALineThatWillNotOpen) {
    const auto members = lines_of(run({"--list-members"}).out);
    ASSERT_EQ(members.size(), 125u);
    EXPECT_THAT(members[0], ::testing::MatchesRegex("regel +get"));
    EXPECT_EQ(json_lines(run({"--list-members", "--json"}).out).at(7).dump(),
              R"({"name":"OpenClose","kind":"method","arguments":["blnValue"]})");

    const Result traced = run({"--json", "--trace", "meterteller_aan"});
    EXPECT_EQ(json_lines(traced.out).size(), 1u);  // the trace stays off standard output
    const std::regex line(R"( *\d+\.\d{6} (TX|RX)((?: [0-9A-F]{2})+))");
    std::vector<std::string> traffic;
    for (const auto& text : lines_of(traced.err)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        traffic.push_back(m[1].str() + m[2].str());
    }
    EXPECT_THAT(traffic, ElementsAre("TX 02 01 00 00 26 00 0D", "RX 06"));

    const Result closed = run({"--json", "--trace", "--no-open", "--script", "-"},
                              "meterteller_aan\nOpenClose bool:true\nmeterteller_aan\n");
    const auto lines = json_lines(closed.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["outcome"], "port_closed");
    EXPECT_EQ(lines[2]["outcome"], "acknowledged");
    EXPECT_EQ(sent_frames(closed.err), 1);

    const Result missing = run({"--device", "/dev/quarn7-no-such-line", "--json", "meterteller_aan"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_THAT(missing.err, HasSubstr("No such device: /dev/quarn7-no-such-line"));
}

TEST(CliOptions, TourRunsToTheEndAndReadsEveryItem) {
    const Result r = run({"--json", "--fast-reads", "--tour"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = json_lines(r.out);
    int item_reads = 0;
    for (const auto& line : lines) {
        EXPECT_TRUE(line["error"].is_null()) << line.dump();
        EXPECT_THAT(line["outcome"].get<std::string>(), ::testing::AnyOf("acknowledged", "reply_received"));
        item_reads += line["call"] == "lees_waarde";
    }
    EXPECT_EQ(item_reads, 28);
    EXPECT_EQ(lines.back()["call"], "helling_instant");
}

}  // namespace
}  // namespace quarn7
