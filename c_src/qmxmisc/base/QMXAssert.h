// QMX_ASSERT(cond, why): a programmer-error check, active in debug and sanitizer builds.
// It never guards user input: user input errors are thrown as QMXException.
#pragma once

#include <cstdio>
#include <cstdlib>

#if !defined(NDEBUG) || defined(QMX_ENABLE_ASSERT)
#define QMX_ASSERT(cond, why)                                                                     \
  do {                                                                                            \
    if (!(cond)) {                                                                                \
      std::fprintf(stderr, "%s:%d: assertion failed: %s (%s)\n", __FILE__, __LINE__, #cond, why); \
      std::abort();                                                                               \
    }                                                                                             \
  } while (0)
#else
#define QMX_ASSERT(cond, why) \
  do {                        \
    (void)sizeof(cond);       \
  } while (0)
#endif
