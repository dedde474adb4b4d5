// GLib hands work to its thread pool through its own futex-based queues,
// which ThreadSanitizer cannot see (Debian's GLib is not built with it): what
// the pool frees after a libqmi request looks like a race with the thread
// that asked. Reports with a GLib frame are left out; our own code is not.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() { return "race:libglib-2.0.so\n"; }
#endif
