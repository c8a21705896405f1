// Leak reports the admin tests must not fail on: the font library that Qt
// loads keeps a cache for the life of the process and never frees it.  Read
// by LeakSanitizer when the tests run under the sanitizers.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
