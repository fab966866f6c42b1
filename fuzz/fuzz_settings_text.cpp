// Fuzz target: deciphered settings bytes, read the way a start reads them and
// written back the way the close writes them. Whatever the file held, the
// text a save writes must be read back into the same state: saving again
// after the next start writes exactly the same text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "servers/server_list.h"
#include "settings/settings_text.h"

namespace {

std::string saveAfterStart(const std::string& bytes) {
  ServerList list;
  LaunchOptions options;
  const std::string password = startupPasswordFrom(bytes);
  applySettingsText(bytes, list, options);
  return buildSettingsText(list, options, password);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string first = saveAfterStart(bytes);
  // Every written text ends with the password line and its CR LF.
  if (first.size() < 26 || first.compare(first.size() - 3, 3, ">\r\n") != 0) __builtin_trap();
  const std::string second = saveAfterStart(first);
  if (second != first) __builtin_trap();
  return 0;
}
