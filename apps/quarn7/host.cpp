#include "host.h"

#include <istream>
#include <ostream>

#include "output.h"
#include "script_line.h"

namespace quarn7::cli {

Host::Host(clsvyx7& controller, bool json, std::ostream& out, std::ostream& err)
    : de_(controller), json_(json), out_(out), err_(err) {}

void Host::show_message(const std::string& text) {
    if (collecting_ != nullptr) {
        collecting_->push_back(text);
    } else {
        err_ << text << std::endl;
    }
}

bool Host::run_call(const std::vector<std::string>& words) {
    Call call = resolve_call(words);
    CallReport report;
    report.member = call.member;
    report.args_before = call.args;
    if (json_) collecting_ = &report.messages;
    de_.clear_last_outcome();
    try {
        report.result = call.member->invoke(de_, call.args);
    } catch (const Error& e) {
        report.error = e;
    }
    collecting_ = nullptr;
    report.args_after = std::move(call.args);
    report.outcome = de_.last_outcome();

    if (json_) {
        out_ << report_json(report).dump(-1, ' ', false, Json::error_handler_t::replace)
             << std::endl;
    } else if (report.error) {
        err_ << "quarn7: " << report_line(report) << std::endl;
    } else {
        out_ << report_line(report) << std::endl;
    }
    return !report.error;
}

bool Host::run_script(std::istream& in) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        try {
            const auto words = split_words(line);
            if (!words.empty() && !run_call(words)) return false;
        } catch (const UsageError& e) {
            throw UsageError("line " + std::to_string(number) + ": " + e.what());
        }
    }
    return true;
}

}  // namespace quarn7::cli
