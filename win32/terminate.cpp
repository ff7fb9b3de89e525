// The program's own last-resort terminate handler. Every failure is caught
// at the window procedure's edge, so this runs only if something escapes
// regardless; it replaces the toolchain's verbose handler, whose symbol
// demangler alone would be a fifth of the executable.
#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
