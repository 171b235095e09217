// Read by LeakSanitizer in sanitizer builds, ignored otherwise: the Firebird client library's
// process-wide state is not a leak of ours. The same list for the agent process is in
// tests/fixtures/lsan.supp. Link the object library mirrox_lsan_firebird into every test program
// that talks to the Firebird server.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfbclient.so\nleak:libtommath.so\n";
}
