// Leak-checker settings of the sanitizer builds of programs that draw text
// or open windows: fontconfig keeps its configuration for the life of the
// process, and the window toolkit's libraries keep their type registries,
// caches and bus connection until the process ends.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libgtk-3.so\n"
         "leak:libgdk-3.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
