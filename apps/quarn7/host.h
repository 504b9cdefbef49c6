// Runs calls by name on one controller and prints what each did: one JSON object per line, or a
// short readable line, flushed at once so that another program can drive the host through a pipe.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "quarn7/clsvyx7.h"

namespace quarn7::cli {

class Host {
  public:
    Host(clsvyx7& controller, bool json, std::ostream& out, std::ostream& err);

    // The controller's message box: part of the running call's JSON object, else standard error.
    void show_message(const std::string& text);

    // One call from its words; false when the member raised an error (printed first).
    // UsageError when the words name no call.
    bool run_call(const std::vector<std::string>& words);

    // Each line runs as soon as it is read; stops after the first error (false). A bad line
    // raises UsageError naming its line number.
    bool run_script(std::istream& in);

  private:
    clsvyx7& de_;
    bool json_;
    std::ostream& out_;
    std::ostream& err_;
    std::vector<std::string>* collecting_ = nullptr;
};

}  // namespace quarn7::cli
