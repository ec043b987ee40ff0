// The type-library IDL parser under libFuzzer: every text either parses or is refused with
// a ParseError naming a line of the text; any other exception, a crash, undefined behaviour
// or a leak is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <win32/idl.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    win32::idl::Library lib = win32::idl::Parse(text);
    for (const auto& t : lib.types)
      if (t.line < 1) std::abort();
  } catch (const win32::idl::ParseError& e) {
    const long lines = 1 + std::count(text.begin(), text.end(), '\n');
    if (e.line() < 1 || e.line() > lines) std::abort();
  }
  return 0;
}
