// Read by LeakSanitizer in sanitizer builds, ignored otherwise: the Firebird client library's
// process-wide state is not a leak of ours. The same list for the programs the tests start
// (mirrox, mirrox-agent) is in tests/fixtures/lsan.supp. mirrox_test links it into every test program.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfbclient.so\nleak:libtommath.so\n"; }
