/* Fault hooks that ociemu exports beside the client entries. Standalone C (no
 * OCI types), so that layer tests can include it next to the binding's headers
 * and reach the hooks with dlsym on the loaded client; the layer never links
 * ociemu. Oracle's own client has none of these. */
#ifndef OCIEMU_TEST_HOOKS_H
#define OCIEMU_TEST_HOOKS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Marks the session behind a service context or version 7 logon data area as
 * killed: its next call fails with ORA-03113, later ones with ORA-03114.
 * Returns 0, or -1 for an unknown handle. Callable from any thread. */
int ociemu_kill_session(void *svchp_or_lda);
typedef int (*ociemu_kill_session_fn)(void *svchp_or_lda);

/* The next call of the named entry (e.g. "OCIStmtExecute") fails with
 * ORA-<oracle_error>. An empty or null name, or error 0, clears every pending
 * failure. */
void ociemu_fail_next(const char *entry_name, int oracle_error);
typedef void (*ociemu_fail_next_fn)(const char *entry_name, int oracle_error);

/* Non-zero: OCIServerVersion reports an Oracle 7 banner; zero: the 19c banner. */
void ociemu_report_oracle7(int on);
typedef void (*ociemu_report_oracle7_fn)(int on);

/* One attribute of an object type's instance layout: its catalogue name (dotted
 * for attributes of embedded objects, e.g. ADDRESS.CITY), the byte offset of its
 * value in the instance and of its indicator in the null structure. */
typedef struct ociemu_attribute_layout {
  char name[128];
  unsigned long value_offset;
  unsigned long indicator_offset;
} ociemu_attribute_layout;

/* The layout the object cache gives instances of the named type ("NAME" in the
 * session's schema or "SCHEMA.NAME") with pointers of pointer_size bytes (4 or
 * 8; the cache itself uses the process's own). Fills at most capacity entries
 * in catalogue order and returns how many attributes there are, or -1 for an
 * unknown type or service context. */
int ociemu_type_layout(void *svchp, const char *type_name, unsigned pointer_size, ociemu_attribute_layout *out,
                       int capacity);
typedef int (*ociemu_type_layout_fn)(void *svchp, const char *type_name, unsigned pointer_size,
                                     ociemu_attribute_layout *out, int capacity);

/* Exported by liboramts.so, not the client: the next call of the named
 * transaction-server entry (e.g. "OraMTSSvcGet") returns mts_error (an
 * ORAMTSERR_* number) without doing its work. An empty or null name, or error 0,
 * clears every pending failure. */
void ociemu_mts_fail_next(const char *entry_name, unsigned int mts_error);
typedef void (*ociemu_mts_fail_next_fn)(const char *entry_name, unsigned int mts_error);

#ifdef __cplusplus
}
#endif

#endif /* OCIEMU_TEST_HOOKS_H */
