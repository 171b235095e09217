// The Firebird client library keeps a few allocations of its authentication code (libtommath
// numbers) until the process ends. They are not ours and not growing, so a sanitizer build of
// these tests does not report them. The hook is only read when LeakSanitizer is linked in.

extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfbclient.so\n"
         "leak:libtommath.so\n";
}
