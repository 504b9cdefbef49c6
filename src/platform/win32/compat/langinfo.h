// The POSIX per-locale calls the core's number conversions use, over the Windows C runtime's
// locale objects. A locale made from "" answers RADIXCHAR from the user's regional settings, as
// the environment's LC_NUMERIC does on Linux.
#pragma once

#include <locale.h>

typedef struct quarn7_posix_locale* locale_t;

#define LC_NUMERIC_MASK (1 << LC_NUMERIC)
#define LC_ALL_MASK (LC_NUMERIC_MASK | (1 << LC_CTYPE) | (1 << LC_COLLATE) | (1 << LC_MONETARY))
#define RADIXCHAR 0x10000

// `base` is not supported (always null in the core).
locale_t newlocale(int category_mask, const char* name, locale_t base);
void freelocale(locale_t locale);
double strtod_l(const char* text, char** end, locale_t locale);
const char* nl_langinfo_l(int item, locale_t locale);
