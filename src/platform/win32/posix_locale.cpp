#include <langinfo.h>
#include <stdlib.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

struct quarn7_posix_locale {
    _locale_t crt;
    std::string radix;
};

namespace {

// The user's decimal separator as UTF-8 ("," for a Dutch system).
std::string user_decimal_separator() {
    wchar_t text[8] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text, 8);
    return length > 1 ? quarn7::from_wide({text, static_cast<std::size_t>(length - 1)}) : ".";
}

}  // namespace

locale_t newlocale(int category_mask, const char* name, locale_t) {
    const int category = category_mask == LC_NUMERIC_MASK ? LC_NUMERIC : LC_ALL;
    _locale_t crt = _create_locale(category, name);
    if (crt == nullptr) return nullptr;
    return new quarn7_posix_locale{crt, *name == '\0' ? user_decimal_separator() : "."};
}

void freelocale(locale_t locale) {
    _free_locale(locale->crt);
    delete locale;
}

double strtod_l(const char* text, char** end, locale_t locale) {
    return _strtod_l(text, end, locale->crt);
}

const char* nl_langinfo_l(int item, locale_t locale) {
    return item == RADIXCHAR ? locale->radix.c_str() : "";
}
