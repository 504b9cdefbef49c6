// Runs calls by name on one controller and prints what each did: one JSON object per line, or a
// short readable line, flushed at once so that another program can drive the host through a pipe.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "quarn7/clsvyx7.h"

namespace quarn7::cli {

// Exit statuses of a run.
constexpr int kCompleted = 0;
constexpr int kFailed = 1;     // a member raised an error
constexpr int kUsageExit = 2;  // the host was called wrongly, or a script line was unusable
constexpr int kNotDone = 3;    // --strict: the unit did not do what a call asked

struct HostOptions {
    bool json = false;
    // A call ending in no_reaction, refused, damaged or port_closed counts as not done.
    bool strict = false;
    // A failed script line is reported and the run goes on.
    bool keep_going = false;
};

class Host {
  public:
    Host(clsvyx7& controller, HostOptions options, std::ostream& out, std::ostream& err);

    // The controller's message box: part of the running call's JSON object, else standard error.
    void show_message(const std::string& text);

    // One call from its words: kCompleted, kFailed (the error printed first, naming the script
    // `line` when above 0) or kNotDone. UsageError when the words name no call.
    int run_call(const std::vector<std::string>& words, int line = 0);

    // Each line runs as soon as it is read. A failed line (its error names the line) stops the
    // run unless keep_going; the status is that of the first failed line.
    int run_script(std::istream& in);

    // A usage mistake: on standard error, and as a JSON object with --json.
    void report_usage_error(const std::string& message, int line = 0);

  private:
    clsvyx7& de_;
    HostOptions options_;
    std::ostream& out_;
    std::ostream& err_;
    std::vector<std::string>* collecting_ = nullptr;
};

}  // namespace quarn7::cli
