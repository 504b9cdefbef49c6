#include "platform/conversions.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "quarn7/error.h"

namespace quarn7 {

namespace {

// Languages whose usual number format has a decimal comma; used when the environment names a
// locale that is not installed, so a Dutch host still gets ',' on a minimal system.
constexpr std::string_view kDecimalCommaLanguages[] = {
    "be", "bg", "ca", "cs", "da", "de", "el", "es", "et", "eu", "fi", "fr", "gl",
    "hr", "hu", "id", "is", "it", "kk", "lt", "lv", "mk", "nb", "nl", "nn", "no",
    "pl", "pt", "ro", "ru", "sk", "sl", "sr", "sv", "tr", "uk", "vi",
};

std::string_view numeric_locale_name() {
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

char separator_from_language(std::string_view locale_name) {
    const auto language = locale_name.substr(0, locale_name.find_first_of("_.@"));
    return std::ranges::find(kDecimalCommaLanguages, language) != std::end(kDecimalCommaLanguages)
               ? ','
               : '.';
}

std::atomic<char>& host_separator() {
    static std::atomic<char> separator{environment_decimal_separator()};
    return separator;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads one number at the start of `text`: optional sign, digits, one `decimal` and more digits,
// and an exponent only when digits follow it. Gives the number text with '.' as the decimal point
// and how many characters it took; nothing when no digit is found.
struct Scanned {
    std::string text;
    std::size_t length;
};
std::optional<Scanned> scan_number(std::string_view text, char decimal) {
    std::string out;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out += text[i++];
    bool digits = false;
    while (i < text.size() && is_digit(text[i])) {
        out += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == decimal) {
        out += '.';
        ++i;
        while (i < text.size() && is_digit(text[i])) {
            out += text[i++];
            digits = true;
        }
    }
    if (!digits) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && is_digit(text[j])) {
            while (j < text.size() && is_digit(text[j])) ++j;
            out += 'e';
            out.append(text.substr(i + 1, j - i - 1));
            i = j;
        }
    }
    return Scanned{std::move(out), i};
}

// The scanned text as a number, in the C locale whatever the process has set (a Qt host sets the
// user's locale, which would turn strtod's decimal point into a comma).
double number_value(const std::string& text) {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(text.c_str(), nullptr, c_locale);
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Shortest text of x with `digits` significant digits, exponent form as "1E+16"; always '.'.
std::string number_text(double x, bool single) {
    if (x == 0) return "0";  // also -0
    const int digits = single ? 7 : 15;
    std::array<char, 64> buf{};
    const auto result =
        std::to_chars(buf.data(), buf.data() + buf.size(), x, std::chars_format::general, digits);
    std::string text(buf.data(), result.ptr);
    std::replace(text.begin(), text.end(), 'e', 'E');
    return text;
}

}  // namespace

char environment_decimal_separator() {
    locale_t numeric = newlocale(LC_NUMERIC_MASK, "", locale_t{});
    if (numeric == locale_t{}) return separator_from_language(numeric_locale_name());
    const char* radix = nl_langinfo_l(RADIXCHAR, numeric);
    const char separator =
        (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') ? radix[0] : '.';
    freelocale(numeric);
    return separator;
}

char host_decimal_separator() {
    return host_separator().load(std::memory_order_relaxed);
}

void set_host_decimal_separator(char separator) {
    host_separator().store(separator, std::memory_order_relaxed);
}

double round_half_even(double x) {
    const double below = std::floor(x);
    const double fraction = x - below;  // exact for every finite double
    if (fraction < 0.5) return below;
    if (fraction > 0.5) return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

std::int16_t to_int16(double x) {
    const double r = round_half_even(x);
    if (!(r >= std::numeric_limits<std::int16_t>::min() &&
          r <= std::numeric_limits<std::int16_t>::max())) {
        throw Error(ErrorNumber::Overflow);
    }
    return static_cast<std::int16_t>(r);
}

std::int32_t to_int32(double x) {
    const double r = round_half_even(x);
    if (!(r >= std::numeric_limits<std::int32_t>::min() &&
          r <= std::numeric_limits<std::int32_t>::max())) {
        throw Error(ErrorNumber::Overflow);
    }
    return static_cast<std::int32_t>(r);
}

double leading_number(std::string_view text) {
    const auto start = text.find_first_not_of(" \t\n");
    if (start == std::string_view::npos) return 0;
    const auto scanned = scan_number(text.substr(start), '.');
    return scanned ? number_value(scanned->text) : 0;
}

double parse_host_number(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    const auto scanned = scan_number(text, host_decimal_separator());
    if (!scanned || scanned->length != text.size()) throw Error(ErrorNumber::TypeMismatch);
    return number_value(scanned->text);
}

char to_byte(double n) {
    const double r = round_half_even(n);
    if (!(r >= 0 && r <= 255)) throw Error(ErrorNumber::InvalidArgument);
    return static_cast<char>(static_cast<unsigned char>(r));
}

char to_byte(const Variant& n) {
    return to_byte(n.to_double());
}

std::string signed_form(double x, bool single) {
    return (x < 0 ? "" : " ") + plain_form(x, single);
}

std::string plain_form(double x, bool single) {
    return number_text(x, single);
}

std::string host_number_text(double x, bool single) {
    std::string text = number_text(x, single);
    std::replace(text.begin(), text.end(), '.', host_decimal_separator());
    return text;
}

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> fields;
    if (text.empty()) return fields;
    for (;;) {
        const auto at = text.find(separator);
        fields.emplace_back(text.substr(0, at));
        if (at == std::string_view::npos) return fields;
        text.remove_prefix(at + 1);
    }
}

const std::string& field(const std::vector<std::string>& fields, std::size_t index) {
    if (index >= fields.size()) throw Error(ErrorNumber::SubscriptOutOfRange);
    return fields[index];
}

std::string trim_spaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string hex_form(unsigned value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", value);
    return buf;
}

}  // namespace quarn7
