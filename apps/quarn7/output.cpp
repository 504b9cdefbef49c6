#include "output.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace quarn7::cli {

namespace {

// A Single as the double its shortest text stands for, so JSON shows 0.1 and not
// 0.10000000149011612.
double single_as_double(float value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value).ptr;
    double shown = value;
    std::from_chars(text, written, shown);
    return shown;
}

// C0 controls and DEL as \xNN, C1 controls (a byte the code page has no character for) as
// \u00NN; a backslash or quote gets a backslash before it.
std::string escaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        char code[8];
        if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            out += code;
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(code, sizeof code, "\\u%04X", next);
            out += code;
            ++i;
        } else {
            if (byte == '\\' || byte == '"') out += '\\';
            out += text[i];
        }
    }
    return out;
}

std::string value_text(const Variant& value) {
    switch (value.type()) {
        case VarType::Empty:
            return "Empty";
        case VarType::Object:
            return "Object";
        case VarType::String:
            return "\"" + escaped(value.string_value()) + "\"";
        default:
            return value.to_text();
    }
}

// The value with its type, as a person reads it: -0.01 (Double), "Aan" (String), Empty.
std::string typed_text(const Variant& value) {
    if (value.type() == VarType::Empty || value.type() == VarType::Object) return value_text(value);
    return value_text(value) + " (" + std::string(type_name(value.type())) + ")";
}

std::string call_text(const CallReport& report) {
    const Member& m = *report.member;
    std::string text(m.name);
    if (m.kind == MemberKind::Let || m.kind == MemberKind::Set) {
        return text + "=" + value_text(report.args_before.front());
    }
    if (report.args_before.empty()) return text;
    const char* separator = "(";
    for (const auto& arg : report.args_before) {
        text += separator + value_text(arg);
        separator = ", ";
    }
    return text + ")";
}

}  // namespace

Json variant_json(const Variant& value) {
    Json json{{"type", std::string(type_name(value.type()))}};
    switch (value.type()) {
        case VarType::Empty:
        case VarType::Object:
            break;
        case VarType::Integer:
            json["value"] = value.integer_value();
            break;
        case VarType::Long:
            json["value"] = value.long_value();
            break;
        case VarType::Single:
            json["value"] = single_as_double(value.single_value());
            break;
        case VarType::Double:
            json["value"] = value.double_value();
            break;
        case VarType::String:
            json["value"] = value.string_value();
            break;
        case VarType::Boolean:
            json["value"] = value.bool_value();
            break;
    }
    return json;
}

Json report_json(const CallReport& report) {
    Json args = Json::array();
    for (const auto& arg : report.args_after) args.push_back(variant_json(arg));
    Json json;
    json["call"] = std::string(report.member->name);
    json["result"] = variant_json(report.result);
    json["args"] = std::move(args);
    json["messages"] = report.messages;
    json["outcome"] = report.outcome ? Json(std::string(outcome_name(*report.outcome))) : Json();
    json["error"] = report.error ? Json{{"number", report.error->code()},
                                        {"description", report.error->description()}}
                                 : Json();
    const std::string expects = expected_arguments(*report.member);
    if (report.error && is_conversion_error(*report.error) && !expects.empty()) {
        json["error"]["expects"] = expects;
    }
    return json;
}

Json usage_json(const std::string& message, int line) {
    Json json{{"error", {{"usage", message}}}};
    if (line > 0) json["line"] = line;
    return json;
}

bool is_conversion_error(const Error& error) {
    using enum ErrorNumber;
    const ErrorNumber n = error.number();
    return n == InvalidArgument || n == Overflow || n == SubscriptOutOfRange || n == TypeMismatch;
}

std::string report_line(const CallReport& report) {
    std::string line = call_text(report) + " -> ";
    if (report.error) {
        line +=
            "error " + std::to_string(report.error->code()) + ": " + report.error->description();
        const std::string expects = expected_arguments(*report.member);
        if (!is_conversion_error(*report.error) || expects.empty()) return line;
        return line + ": " + std::string(report.member->name) + " expects " + expects;
    }
    std::string results;
    const auto add = [&](const std::string& part) {
        results += (results.empty() ? "" : ", ") + part;
    };
    if (report.member->kind == MemberKind::Get && !report.result.is_empty()) {
        add(typed_text(report.result));
    }
    for (std::size_t i = 0; i < report.args_after.size(); ++i) {
        if (report.args_after[i] != report.args_before[i]) {
            add(std::string(report.member->arguments[i]) + " = " +
                typed_text(report.args_after[i]));
        }
    }
    line += results.empty() ? (report.not_done ? "not done" : "done") : results;
    if (report.outcome) line += " [" + std::string(outcome_name(*report.outcome)) + "]";
    return line;
}

std::string trace_line(const TraceEvent& event, Clock::time_point start) {
    using std::chrono::duration_cast;
    using std::chrono::microseconds;
    // Whole numbers only: the host's number format must not turn the point into a comma.
    const long long us = duration_cast<microseconds>(event.time - start).count();
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%4lld.%06lld", us / 1000000, us % 1000000);
    std::string line =
        std::string(stamp) + (event.direction == TraceEvent::Direction::Out ? " TX" : " RX");
    for (const unsigned char byte : event.bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", byte);
        line += hex;
    }
    return line;
}

}  // namespace quarn7::cli
