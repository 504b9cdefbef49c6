// The quarn7 program end to end against its built-in simulated unit on a pseudo-terminal: the
// JSON contract, script mode through a file and through a pipe, usage errors, the member list,
// the trace and the tour.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "quarn7/dispatch.h"
#include "protocol/read_items.h"

namespace quarn7 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Json = nlohmann::ordered_json;
using Args = std::vector<std::string>;

struct Result {
    int status = -1;  // exit status; -1 when it did not end by itself
    std::string out;
    std::string err;
};

// A file in /tmp holding `text`, gone with the object.
class TempFile {
public:
    explicit TempFile(std::string_view text = "") {
        char name[] = "/tmp/quarn7-cli-test-XXXXXX";
        ::close(::mkstemp(name));
        path_ = name;
        std::ofstream(path_) << text;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }
    std::string text() const {
        std::ostringstream all;
        all << std::ifstream(path_).rdbuf();
        return all.str();
    }

private:
    std::string path_;
};

// The program's command line for the shell, with `locale` for every locale category.
std::string command(const Args& args, const std::string& locale = "") {
    std::string line = locale.empty() ? "" : "LC_ALL=" + locale + " ";
    line += QUARN7_CLI_PATH;
    for (const auto& word : args) {
        line += " '";
        for (const char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += "'";
    }
    return line;
}

Result run(const Args& args, std::string_view input = "", const std::string& locale = "") {
    const TempFile in(input), out, err;
    const int status = std::system(
        (command(args, locale) + " <" + in.path() + " >" + out.path() + " 2>" + err.path())
            .c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out.text(), err.text()};
}

// The program against its own simulated unit, answering at once.
Args sim(Args more) {
    more.insert(more.begin(), {"--simulate", "--unpaced"});
    return more;
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

int sent_frames(const std::string& trace) {
    int count = 0;
    for (const auto& line : lines_of(trace)) count += line.find(" TX ") != std::string::npos;
    return count;
}

template <typename T>
Json typed(std::string_view type, T value) {
    return Json{{"type", type}, {"value", value}};
}

TEST(CliJson, OneObjectPerCallWithTheFieldsInOrder) {
    const Result r = run(sim({"--json", "meterteller_aan"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, R"({"call":"meterteller_aan","result":{"type":"Empty"},"args":[],)"
                     R"("messages":[],"outcome":"acknowledged","error":null})"
                     "\n");
}

TEST(CliJson, ArgsShowTheWriteBacksAsUtf8) {
    const Result r = run(sim({"--json", "--script", "-"}),
                         "afstand=12.3\nhooglaag -1 empty: empty:\nZetTekst '  Zürich  ' 161\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = json_lines(r.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["args"], Json::array({typed("Integer", 123)}));
    EXPECT_EQ(lines[1]["args"][0], typed("Integer", -1));  // not written back
    EXPECT_EQ(lines[1]["args"][1]["value"], -1);
    EXPECT_EQ(lines[1]["args"][2]["value"], 255);
    EXPECT_EQ(lines[2]["args"][0], typed("String", "Zürich"));
    // After "--" a word starting with "-" is an argument.
    const Result dashed = run(sim({"--json", "--", "hooglaag", "-1", "empty:", "empty:"}));
    EXPECT_EQ(json_lines(dashed.out).at(0)["args"][2]["value"], 255);
}

TEST(CliJson, AnErrorGivesItsNumberAndEndsTheRunWithStatusOne) {
    const std::pair<std::string, int> cases[] = {{"afstand=3276.8", 6},
                                                 {"schrijf_commando=5", 9},
                                                 {"foto_nummer=65536", 5},
                                                 {"eenheid_lc1=abc", 13}};
    for (const auto& [call, number] : cases) {
        SCOPED_TRACE(call);
        const Result r =
            run(sim({"--json", "--trace", "--script", "-"}), call + "\nmeterteller_aan\n");
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
    struct Case {
        Args args;
        std::vector<std::string> messages;
        Json outcome;
    };
    const Case cases[] = {
        {{"--refuse", "meterteller_aan"}, {}, "refused"},
        {{"--diagnostics", "meterteller_aan"}, {"226010D"}, "acknowledged"},
        {{"--diagnostics", "--refuse", "meterteller_aan"},
         {"226010D", "Command not accepted"},
         "refused"},
        {{"--diagnostics", "--silent", "meterteller_aan"},
         {"226010D", "No reaction from DE"},
         "no_reaction"},
        {{"--no-open", "meterteller_aan"}, {}, "port_closed"},
        {{"afstand"}, {}, "reply_received"},
        {{"--diagnostics", "hooglaag", "1", "empty:", "empty:"}, {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        Args args = c.args;
        args.insert(args.begin(), "--json");
        const Result r = run(sim(args));
        EXPECT_EQ(r.status, 0) << r.err;
        const auto lines = json_lines(r.out);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0]["messages"], Json(c.messages));
        EXPECT_EQ(lines[0]["outcome"], c.outcome);
    }
}

TEST(CliReadable, OneLinePerCallMessagesAndErrorsOnStandardError) {
    const Result read = run(sim({"lees_waarde", "45"}));
    EXPECT_EQ(read.out, "lees_waarde(45) -> tekst = 0 (Double) [reply_received]\n");

    const Result refused = run(sim({"--diagnostics", "--refuse", "meterteller_aan"}));
    EXPECT_EQ(refused.out, "meterteller_aan -> done [refused]\n");
    EXPECT_THAT(refused.err, HasSubstr("226010D\nCommand not accepted\n"));

    const Result failed = run(sim({"afstand=3276.8"}));
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_THAT(failed.err, HasSubstr("afstand=3276.8 -> error 6: Overflow"));
}

TEST(CliReadable, NumbersFollowTheHostFormatWhileJsonKeepsItsOwn) {
    const std::string script = "afstand=12.3\nafstand\n";
    const Result readable = run(sim({"--script", "-"}), script, "nl_NL.UTF-8");
    EXPECT_THAT(lines_of(readable.out),
                ElementsAre("afstand=12,3 -> afstand = 123 (Integer) [acknowledged]",
                            "afstand -> 12,3 (Double) [reply_received]"));
    const Result json = run(sim({"--json", "--script", "-"}), script, "nl_NL.UTF-8");
    EXPECT_EQ(json_lines(json.out).at(1)["result"], typed("Double", 12.3));
}

TEST(CliScript, FileLinesShareOneControllerAndPort) {
    const TempFile script(
        "# diagnostics stay on for the lines after\n"
        "meldingen\n"
        "\n"
        "afstand=12.3\n"
        "   # indented comment\n"
        "afstand   # reads back what the line before wrote\n"
        "schrijf_tekst_veld=\"  two  words  \"\r\n");
    const Result r = run(sim({"--json", "--script", script.path()}));
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = json_lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[1]["messages"].size(), 1u);  // the echo: diagnostics are still on
    EXPECT_EQ(lines[2]["result"], typed("Double", 12.3));
    EXPECT_EQ(lines[3]["args"][0], typed("String", "  two  words  "));

    const TempFile bad("meterteller_aan\n\nmetertelle_uit\nmeterteller_uit\n");
    const Result usage = run(sim({"--json", "--script", bad.path()}));
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(json_lines(usage.out).size(), 1u);
    EXPECT_THAT(usage.err, HasSubstr("line 3: unknown member \"metertelle_uit\""));
}

// Through a pipe: each line is answered before the next one is written.
TEST(CliScript, StandardInputAnswersEachLineBeforeTheNextIsWritten) {
    const TempFile fifo;
    std::remove(fifo.path().c_str());
    ASSERT_EQ(::mkfifo(fifo.path().c_str(), 0600), 0);
    FILE* program = ::popen(
        (command(sim({"--json", "--diagnostics", "--script", "-"})) + " <" + fifo.path()).c_str(),
        "r");
    ASSERT_NE(program, nullptr);
    const int input = ::open(fifo.path().c_str(), O_WRONLY);
    const std::pair<std::string, std::function<void(const Json&)>> steps[] = {
        // The port was opened before the first line was read.
        {"OpenClose bool:true\n",
         [](const Json& j) { EXPECT_EQ(j["messages"], Json::array({"Already open"})); }},
        {"afstand=12.3\n", [](const Json& j) { EXPECT_EQ(j["args"][0], typed("Integer", 123)); }},
        {"afstand\n", [](const Json& j) { EXPECT_EQ(j["result"], typed("Double", 12.3)); }},
    };
    for (const auto& [line, check] : steps) {
        ASSERT_EQ(::write(input, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::string answer;
        pollfd fd{::fileno(program), POLLIN, 0};
        for (char c = 0; c != '\n' && ::poll(&fd, 1, 20000) > 0 && ::read(fd.fd, &c, 1) == 1;) {
            answer += c;
        }
        ASSERT_FALSE(answer.empty()) << "no answer to " << line;
        check(Json::parse(answer));
    }
    ::close(input);
    const int status = ::pclose(program);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(CliUsage, MistakesExitWithTwoBeforeAnythingIsSent) {
    const std::pair<Args, std::vector<std::string>> cases[] = {
        {{"afstnd"}, {"unknown member \"afstnd\"", "closest members: afstand, afstand2"}},
        {{"lees_waarde"}, {"lees_waarde takes 1 argument(s), 0 given", "closest members"}},
        {{"meterteller_aan", "1"}, {"takes 0 argument(s), 1 given"}},
        {{"meterteller_aan=1"}, {"meterteller_aan is a method"}},
        {{"schrijf_commando", "5|63"}, {"call it as `schrijf_commando=tekst`"}},
        {{"lees_waarde", "int:x"}, {"int: wants a whole number"}},
        {{"zettekst_x_y", "1", "empty:x", "A"}, {"empty: takes nothing"}},
        {{}, {"give one CALL, --script FILE or --tour"}},
        {{"--tour", "afstand"}, {"give one CALL"}},
        {{"--bogus", "afstand"}, {"unknown option --bogus"}},
        {{"--port", "0", "afstand"}, {"--port"}},
        {{"--script", "/nonexistent/quarn7-script"}, {"cannot read script"}},
    };
    for (const auto& [words, said] : cases) {
        Args args = sim({"--trace", "--diagnostics"});
        args.insert(args.end(), words.begin(), words.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        for (const auto& text : said) EXPECT_THAT(r.err, HasSubstr(text));
        EXPECT_EQ(sent_frames(r.err), 0);
    }
}

TEST(CliOptions, ListMembersInInterfaceOrder) {
    const auto lines = lines_of(run({"--list-members"}).out);
    const auto& members = interface_members();
    ASSERT_EQ(lines.size(), members.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string expected =
            std::string(members[i].name) + " " + std::string(kind_name(members[i].kind));
        for (const auto arg : members[i].arguments) expected += " " + std::string(arg);
        std::istringstream words(lines[i]);
        std::string shown, word;
        for (words >> shown; words >> word;) shown += " " + word;
        EXPECT_EQ(shown, expected);
    }
    const auto rows = json_lines(run({"--list-members", "--json"}).out);
    ASSERT_EQ(rows.size(), members.size());
    EXPECT_EQ(rows[7].dump(), R"({"name":"OpenClose","kind":"method","arguments":["blnValue"]})");
}

TEST(CliOptions, TraceShowsEveryByteWithATimestamp) {
    const Result r = run(sim({"--json", "--trace", "meterteller_aan"}));
    EXPECT_EQ(json_lines(r.out).size(), 1u);  // the trace stays off standard output
    const std::regex line(R"( *(\d+)\.(\d{6}) (TX|RX)((?: [0-9A-F]{2})+))");
    std::vector<std::string> traffic;
    double last = 0;
    for (const auto& text : lines_of(r.err)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        const double at = std::stod(m[1].str()) + std::stod(m[2].str()) / 1e6;
        EXPECT_GE(at, last);
        last = at;
        traffic.push_back(m[3].str() + m[4].str());
    }
    EXPECT_THAT(traffic, ElementsAre("TX 02 01 00 00 26 00 0D", "RX 06"));
}

TEST(CliOptions, NoOpenLeavesThePortToTheCalls) {
    const Result r = run(sim({"--json", "--trace", "--no-open", "--script", "-"}),
                         "meterteller_aan\nOpenClose bool:true\nmeterteller_aan\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = json_lines(r.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["outcome"], "port_closed");
    EXPECT_EQ(lines[2]["outcome"], "acknowledged");
    EXPECT_EQ(sent_frames(r.err), 1);
}

TEST(CliOptions, ALineThatWillNotOpenFailsTheRunAndSaysWhy) {
    const Result r = run({"--json", "--device", "/dev/quarn7-no-such-line", "meterteller_aan"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find("No such device: /dev/quarn7-no-such-line"), std::string::npos) << r.err;
}

TEST(CliOptions, TourRunsToTheEndAndReadsEveryDecodedItem) {
    const Result r = run(sim({"--json", "--fast-reads", "--tour"}));
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = json_lines(r.out);
    std::size_t item_reads = 0;
    for (const auto& line : lines) {
        EXPECT_TRUE(line["error"].is_null()) << line.dump();
        EXPECT_THAT(line["outcome"].get<std::string>(),
                    ::testing::AnyOf("acknowledged", "reply_received"))
            << line.dump();
        item_reads += line["call"] == "lees_waarde";
    }
    EXPECT_EQ(item_reads, std::size(kReadItems));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["call"], "helling_instant");
}

}  // namespace
}  // namespace quarn7
