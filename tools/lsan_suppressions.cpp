// Leak-checker settings of the sanitizer builds of programs that draw text:
// fontconfig keeps its configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
