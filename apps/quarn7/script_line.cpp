#include "script_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <numeric>
#include <optional>

namespace quarn7::cli {

namespace {

constexpr std::size_t kClosestShown = 3;

// The form and range of each member's arguments as a caller writes them, in argument order.
struct ArgumentForms {
    std::string_view member;
    MemberKind kind;
    std::array<std::string_view, 3> forms;
};
constexpr std::string_view kByte = "0..255", kWord = "-32768..32767", kText = "text";
constexpr ArgumentForms kArgumentForms[] = {
    {"regel", MemberKind::Let, {kWord}},
    {"kolom", MemberKind::Let, {kWord}},
    {"OpenClose", MemberKind::Method, {"true|false"}},
    {"Poort_nummer", MemberKind::Let, {kWord}},
    {"floating_point_zetten", MemberKind::Method, {"number"}},
    {"overlay_wit_zwart_wissel", MemberKind::Method, {"number"}},
    {"lees_data", MemberKind::Get, {kByte}},
    {"lees_tijd", MemberKind::Get, {kByte}},
    {"lees_waarde", MemberKind::Get, {kByte}},
    {"afstand", MemberKind::Let, {"0..3276.7"}},
    {"afstand2", MemberKind::Let, {"0..1677721.5"}},
    {"foto_nummer", MemberKind::Let, {"0..65535"}},
    {"schrijf_2byte_waarde", MemberKind::Let, {"0..65535|code"}},
    {"schrijf_commando", MemberKind::Let, {"0..255|code"}},
    {"kies_systeemtekstveld", MemberKind::Let, {kByte}},
    {"schrijf_systeemtekstveld", MemberKind::Let, {kText}},
    {"schrijf_tekst_veld", MemberKind::Let, {kText}},
    {"venster_zetten", MemberKind::Let, {"X|Y|code"}},
    {"waarde_schrijven", MemberKind::Let, {"0..255|code"}},
    {"eenheid_lc1", MemberKind::Let, {kByte}},
    {"eenheid_lc2", MemberKind::Let, {kByte}},
    {"factor_lc1", MemberKind::Let, {kByte}},
    {"factor_lc2", MemberKind::Let, {kByte}},
    {"eenheid_temperatuur", MemberKind::Let, {kByte}},
    {"tijd", MemberKind::Let, {"hh:mm|dd-mm-yyyy"}},
    {"videoteller", MemberKind::Let, {"hh:mm:ss"}},
    {"ZetTekst", MemberKind::Method, {kText, "code"}},
    {"zettekst_x_y", MemberKind::Method, {"1..16", "any", kText}},
    {"hooglaag", MemberKind::Method, {"number"}},
};

std::string_view form_of(const Member& m, std::size_t index) {
    for (const auto& row : kArgumentForms) {
        if (row.member == m.name && row.kind == m.kind && index < row.forms.size()) {
            return row.forms[index];
        }
    }
    return {};
}

// Past the longest member name no name is close to a member; only its start is shown.
std::size_t longest_member_name() {
    std::size_t longest = 0;
    for (const auto& m : interface_members()) longest = std::max(longest, m.name.size());
    return longest;
}

bool is_blank(char ch) {
    return ch == ' ' || ch == '\t';
}
bool is_digit(char ch) {
    return ch >= '0' && ch <= '9';
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// from_chars takes no leading "+".
std::string_view without_plus(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    return text;
}

// [+-]digits
bool is_whole(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    return !text.empty() && std::all_of(text.begin(), text.end(), is_digit);
}

// [+-](digits[.digits] | .digits)[(e|E)[+-]digits]
bool is_decimal(std::string_view text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && is_digit(text[i])) ++i;
        return i - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == text.size();
}

template <typename T>
std::optional<T> read_number(std::string_view text) {
    text = without_plus(text);
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

template <typename T>
std::optional<T> read_whole(std::string_view text) {
    if (!is_whole(text)) return std::nullopt;
    return read_number<T>(text);
}

Variant integer_value(std::string_view text) {
    if (const auto v = read_whole<std::int16_t>(text)) return *v;
    throw UsageError("int: wants a whole number from -32768 to 32767, not " + quoted(text));
}

Variant long_value(std::string_view text) {
    if (const auto v = read_whole<std::int32_t>(text)) return *v;
    throw UsageError("long: wants a whole number from -2147483648 to 2147483647, not " +
                     quoted(text));
}

Variant double_value(std::string_view text) {
    if (const auto v = read_number<double>(text)) return *v;
    throw UsageError("dbl: wants a number, not " + quoted(text));
}

Variant string_value(std::string_view text) {
    return std::string(text);
}

Variant bool_value(std::string_view text) {
    if (text == "true") return true;
    if (text == "false") return false;
    throw UsageError("bool: wants true or false, not " + quoted(text));
}

Variant empty_value(std::string_view text) {
    if (!text.empty()) throw UsageError("empty: takes nothing after it, not " + quoted(text));
    return {};
}

struct TypePrefix {
    std::string_view tag;
    Variant (*parse)(std::string_view rest);
};

constexpr TypePrefix kTypePrefixes[] = {
    {"int:", integer_value}, {"long:", long_value}, {"dbl:", double_value},
    {"str:", string_value},  {"bool:", bool_value}, {"empty:", empty_value},
};

const Member* first_of(std::string_view name, std::initializer_list<MemberKind> kinds) {
    for (const MemberKind kind : kinds) {
        if (const Member* m = find_member(name, kind)) return m;
    }
    return nullptr;
}

std::string usage(const Member& m) {
    std::string text(m.name);
    if (m.kind == MemberKind::Let || m.kind == MemberKind::Set) {
        return text + "=" + std::string(m.arguments.front());
    }
    for (const auto arg : m.arguments) text += " " + std::string(arg);
    return text;
}

UsageError usage_error(const std::string& problem, std::string_view name) {
    if (name.size() > longest_member_name()) return UsageError(problem);
    std::string text = problem + "\nclosest members:";
    const char* separator = " ";
    for (const auto candidate : closest_member_names(name, kClosestShown)) {
        text += separator + std::string(candidate);
        separator = ", ";
    }
    return UsageError(text);
}

}  // namespace

std::vector<std::string> split_words(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (is_blank(ch)) {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
            continue;
        }
        if (ch == '#' && !in_word) break;
        in_word = true;
        if (ch == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else if (ch == '\'') {
            const auto end = line.find('\'', i + 1);
            if (end == std::string_view::npos) throw UsageError("unterminated single quote");
            word.append(line.substr(i + 1, end - i - 1));
            i = end;
        } else if (ch == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                const bool escape =
                    line[i] == '\\' && i + 1 < line.size() &&
                    std::string_view("\"\\$`").find(line[i + 1]) != std::string_view::npos;
                if (escape) ++i;
                word += line[i];
            }
            if (i >= line.size()) throw UsageError("unterminated double quote");
        } else {
            word += ch;
        }
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

Variant parse_value(std::string_view text) {
    for (const auto& prefix : kTypePrefixes) {
        if (text.starts_with(prefix.tag)) return prefix.parse(text.substr(prefix.tag.size()));
    }
    if (is_whole(text)) {
        if (const auto v = read_number<std::int64_t>(text)) return whole_number(*v);
    }
    if (is_decimal(text)) {
        if (const auto v = read_number<double>(text)) return *v;
    }
    return std::string(text);
}

Call resolve_call(const std::vector<std::string>& words) {
    if (words.empty()) throw UsageError("no call given");
    const std::string& first = words.front();
    const auto equals = first.find('=');
    const bool is_let = equals != std::string::npos;
    const std::string name = first.substr(0, equals);

    std::vector<std::string> texts;
    if (is_let) {
        std::string value = first.substr(equals + 1);
        for (std::size_t i = 1; i < words.size(); ++i) value += " " + words[i];
        texts.push_back(std::move(value));
    } else {
        texts.assign(words.begin() + 1, words.end());
    }

    const std::initializer_list<MemberKind> value_kinds = {MemberKind::Let, MemberKind::Set};
    const std::initializer_list<MemberKind> call_kinds = {MemberKind::Get, MemberKind::Method};
    const Member* member = first_of(name, is_let ? value_kinds : call_kinds);
    if (member == nullptr) {
        const Member* other = first_of(name, is_let ? call_kinds : value_kinds);
        if (other == nullptr) {
            const std::string shown = name.size() > longest_member_name()
                                          ? name.substr(0, longest_member_name()) + "..."
                                          : name;
            throw usage_error("unknown member " + quoted(shown), name);
        }
        throw usage_error(name + " is a " + std::string(kind_name(other->kind)) + ": call it as `" +
                              usage(*other) + "`",
                          name);
    }
    if (texts.size() != member->arguments.size()) {
        throw usage_error(name + " takes " + std::to_string(member->arguments.size()) +
                              " argument(s), " + std::to_string(texts.size()) +
                              " given: call it as `" + usage(*member) + "`",
                          name);
    }

    Call call{member, {}};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        try {
            call.args.push_back(parse_value(texts[i]));
        } catch (const UsageError& e) {
            throw UsageError(name + ", argument " + std::string(member->arguments[i]) + ": " +
                             e.what());
        }
    }
    return call;
}

std::string argument_with_form(const Member& member, std::size_t index) {
    const std::string_view form = form_of(member, index);
    return std::string(member.arguments[index]) + (form.empty() ? "" : "=") + std::string(form);
}

std::string expected_arguments(const Member& member) {
    if (member.kind == MemberKind::Let || member.kind == MemberKind::Set) {
        return std::string(form_of(member, 0));
    }
    std::string text;
    for (std::size_t i = 0; i < member.arguments.size(); ++i) {
        if (form_of(member, i).empty()) continue;
        text += (text.empty() ? "" : " ") + argument_with_form(member, i);
    }
    return text;
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
    const auto same = [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    };
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min(
                {above + 1, row[j - 1] + 1, diagonal + (same(a[i - 1], b[j - 1]) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::vector<std::string_view> closest_member_names(std::string_view name, std::size_t count) {
    std::vector<std::pair<std::size_t, std::string_view>> ranked;  // (distance, name)
    for (const auto& m : interface_members()) {
        const bool listed = std::any_of(ranked.begin(), ranked.end(),
                                        [&](const auto& r) { return r.second == m.name; });
        if (!listed) ranked.emplace_back(edit_distance(name, m.name), m.name);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < std::min(count, ranked.size()); ++i) {
        names.push_back(ranked[i].second);
    }
    return names;
}

}  // namespace quarn7::cli
