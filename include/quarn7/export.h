// What the shared library exports: it is built with hidden visibility, so only declarations
// marked QUARN7_API are part of its interface.
#pragma once

#if defined(_WIN32)
#define QUARN7_API
#else
#define QUARN7_API __attribute__((visibility("default")))
#endif
