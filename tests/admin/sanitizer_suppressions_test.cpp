// Leak reports the admin tests must not fail on: the font library that Qt
// loads keeps a cache for the life of the process and never frees it, and
// unixODBC's ini reader keeps what it read (see tests/support/gateway_dsn.cpp,
// whose list this one replaces in the admin tests).  Read by LeakSanitizer
// when the tests run under the sanitizers.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libodbcinst.so\nleak:libsqlite3odbc.so\n";
}
