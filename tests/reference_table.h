/* The reference's examples, generated from the comments of driver/kavrel.h:
 * each runs one exported function with its sample arguments and lists the
 * replies the instrument gives it and the command templates it must send. */
#ifndef KAVREL_TESTS_REFERENCE_TABLE_H
#define KAVREL_TESTS_REFERENCE_TABLE_H

#include <stddef.h>

#include "driver/kavrel.h"

#ifdef __cplusplus
extern "C" {
#endif

struct reference_bytes {
  const char* data;
  size_t size;
};

struct reference_template {
  const char* text;   /* as documented */
  const char* regex;  /* the same, with each placeholder as the pattern of its form */
};

struct reference_entry {
  const char* function;
  const char* sample;
  /* Runs the sample on *session; the session it leaves open goes back there. */
  ViStatus (*call)(ViSession* session);
  const struct reference_bytes* replies;
  size_t reply_count;
  const struct reference_template* sends;
  size_t send_count;
  int status_check; /* the messages end with "*ESR?" twice */
};

extern const struct reference_entry reference_entries[];
extern const size_t reference_entry_count;
/* Exported functions whose comment has no example yet. */
extern const char* const reference_missing[];
extern const size_t reference_missing_count;

#ifdef __cplusplus
}
#endif

#endif
