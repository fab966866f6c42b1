// The small texts of a connect: the client's option switches, its command
// line, the temporary connection file's name and the registry path of the
// per-server value under the client's LocalDevices key.
#include "launch/launch_text.h"

#include <cstddef>
#include <cstdio>

#include "text/text.h"

const char LocalDevicesKey[] = "Software\\Microsoft\\Terminal Server Client\\LocalDevices";

std::string buildOptionText(const LaunchOptions& options) {
  std::string text;
  if (options.console) text += "/console ";
  if (options.admin) text += "/admin ";
  switch (options.resolution) {
    case Resolution::R800x600: text += "/w:800 /h:600 "; break;
    case Resolution::R1024x768: text += "/w:1024 /h:768 "; break;
    case Resolution::FullScreen: text += "/f "; break;
    case Resolution::None: break;
  }
  return text;
}

std::string buildCommandLine(const std::string& path, const std::string& optionText) {
  // The path is quoted so that a temporary folder with a blank in its name
  // still reaches the client as one argument.
  return "mstsc.exe \"" + path + "\" " + optionText;
}

namespace {

std::string tempPath(const std::string& dir, std::uint32_t number) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(number));
  return dir + hex + ".tmp";
}

}  // namespace

std::string makeTempFileName(const std::string& dir, std::uint32_t tickCount,
                             std::uint32_t& counter,
                             const std::function<bool(const std::string& path)>& exists) {
  std::string folder = dir;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';

  // All arithmetic wraps at 32 bits, like the tick count itself.
  std::uint32_t number = tickCount + counter;
  counter += 1;

  std::string path = tempPath(folder, number);
  // Every one of the 2^32 names taken cannot happen in practice; the bound
  // only keeps the loop finite.
  for (std::uint64_t tries = 0; exists && exists(path) && tries < 0xFFFFFFFFull; ++tries) {
    number += 1;
    path = tempPath(folder, number);
  }
  return path;
}

RegistryPath localDevicesPath(const std::string& address) {
  const std::string joined = std::string(LocalDevicesKey) + "\\" + address;
  const std::size_t pos = findLastByte(joined, '\\');
  RegistryPath result;
  if (pos == 0) {  // cannot happen: the joined separator is always there
    result.valueName = joined;
    return result;
  }
  result.keyPath = joined.substr(0, pos - 1);
  result.valueName = joined.substr(pos);
  return result;
}
