// The smaller texts of a connect: option switches, the command line, the
// temporary file name and the registry path of the per-server value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "settings/settings_text.h"

// "/console ", "/admin ", then one of "/w:800 /h:600 ", "/w:1024 /h:768 ",
// "/f ", each switch ending in a blank.
std::string buildOptionText(const LaunchOptions& options);

// "mstsc.exe \"" path "\" " options. The path is quoted so that a folder with
// a blank in it still names the file.
std::string buildCommandLine(const std::string& path, const std::string& optionText);

// The temporary file path: dir (a backslash appended when it is not empty and
// does not end in one), then (tick + counter) in lowercase hex and ".tmp"; the
// counter is raised by one per call; while exists(path) the number is raised.
// Paths are UTF-8 here; the Win32 layer converts at its boundary.
std::string makeTempFileName(const std::string& dir, std::uint32_t tickCount,
                             std::uint32_t& counter,
                             const std::function<bool(const std::string& path)>& exists);

struct RegistryPath {
  std::string keyPath;    // under HKEY_CURRENT_USER
  std::string valueName;
};

extern const char LocalDevicesKey[];  // "Software\\Microsoft\\Terminal Server Client\\LocalDevices"

// LocalDevicesKey "\" address, split at its last backslash that is not the
// second byte of a two-byte character.
RegistryPath localDevicesPath(const std::string& address);
