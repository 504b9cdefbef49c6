#include "host.h"

#include <istream>
#include <optional>
#include <ostream>

#include "output.h"
#include "script_line.h"

namespace quarn7::cli {

namespace {

bool is_not_done(std::optional<Outcome> outcome) {
    using enum Outcome;
    return outcome == NoReaction || outcome == Refused || outcome == Damaged ||
           outcome == PortClosed;
}

}  // namespace

Host::Host(clsvyx7& controller, HostOptions options, std::ostream& out, std::ostream& err)
    : de_(controller), options_(options), out_(out), err_(err) {}

void Host::show_message(const std::string& text) {
    if (collecting_ != nullptr) {
        collecting_->push_back(text);
    } else {
        err_ << text << std::endl;
    }
}

void Host::report_usage_error(const std::string& message, int line) {
    const std::string where = line > 0 ? "line " + std::to_string(line) + ": " : "";
    err_ << "quarn7: " << where << message << std::endl;
    if (options_.json) {
        out_ << usage_json(message, line).dump(-1, ' ', false, Json::error_handler_t::replace)
             << std::endl;
    }
}

int Host::run_call(const std::vector<std::string>& words, int line) {
    Call call = resolve_call(words);
    CallReport report;
    report.member = call.member;
    report.args_before = call.args;
    if (options_.json) collecting_ = &report.messages;
    de_.clear_last_outcome();
    try {
        report.result = call.member->invoke(de_, call.args);
    } catch (const Error& e) {
        report.error = e;
    }
    collecting_ = nullptr;
    report.args_after = std::move(call.args);
    report.outcome = de_.last_outcome();
    report.not_done = options_.strict && is_not_done(report.outcome);

    const bool name_line = report.error && line > 0;
    if (options_.json) {
        Json json = report_json(report);
        if (name_line) json["line"] = line;
        out_ << json.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
    } else if (report.error) {
        err_ << "quarn7: " << (name_line ? "line " + std::to_string(line) + ": " : "")
             << report_line(report) << std::endl;
    } else {
        out_ << report_line(report) << std::endl;
    }
    if (report.error) return kFailed;
    return report.not_done ? kNotDone : kCompleted;
}

int Host::run_script(std::istream& in) {
    int status = kCompleted;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        int line_status = kCompleted;
        try {
            const auto words = split_words(line);
            if (!words.empty()) line_status = run_call(words, number);
        } catch (const UsageError& e) {
            report_usage_error(e.what(), number);
            line_status = kUsageExit;
        }
        if (status == kCompleted) status = line_status;
        if (line_status != kCompleted && !options_.keep_going) break;
    }
    return status;
}

}  // namespace quarn7::cli
