// The registry-file reader under libFuzzer. A text is accepted, or refused with "line N: …"
// for a line N of the text. An accepted text, written back, reads again into the same tree:
// the written text is a fixed point of reading and writing. Anything else is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <win32/registry.h>

#include "registry_tree.h"

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
  std::fprintf(stderr, "registry_fuzz: %s\n%s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (!win32::CheckRegistryText(text, &error)) {
    const long lines = std::max<long>(1, std::count(text.begin(), text.end(), '\n') + 1);
    long line = 0;
    if (std::sscanf(error.c_str(), "line %ld:", &line) != 1 || line < 1 || line > lines)
      fault("refusal without a line of the text", error);
    return 0;
  }
  if (!error.empty()) fault("accepted with an error", error);

  win32::registry::Tree tree;
  if (!win32::registry::parse(text, &tree, &error)) fault("parse refuses what CheckRegistryText accepts", error);
  const std::string written = win32::registry::serialize(tree);
  win32::registry::Tree again;
  if (!win32::registry::parse(written, &again, &error)) fault("the written text does not read", error + "\n" + written);
  const std::string rewritten = win32::registry::serialize(again);
  if (rewritten != written) fault("writing what was read changes the text", written + "\n---\n" + rewritten);
  return 0;
}
