// The settings cipher: RC4 as published, under the program's fixed key. The
// working state is made fresh on every call, so the function touches nothing
// shared and may run on any thread.
#include "settings/settings_cipher.h"

#include <cstdint>

const char SettingsKey[] = "5826";

std::string applySettingsCipher(const std::string& data, const std::string& key) {
  if (data.empty()) return std::string();

  std::uint8_t s[256];
  for (int k = 0; k < 256; ++k) s[k] = static_cast<std::uint8_t>(k);

  // Key schedule: the key's bytes repeat, in order, over the 256 positions.
  const std::string effectiveKey = key.empty() ? std::string(1, '\0') : key;
  const std::size_t keyLength = effectiveKey.size();
  unsigned j = 0;
  for (unsigned i = 0; i < 256; ++i) {
    j = (j + s[i] + static_cast<std::uint8_t>(effectiveKey[i % keyLength])) & 0xFF;
    const std::uint8_t t = s[i];
    s[i] = s[j];
    s[j] = t;
  }

  // Keystream, from its first byte on.
  std::string out(data.size(), '\0');
  const unsigned char* in = reinterpret_cast<const unsigned char*>(data.data());
  unsigned char* o = reinterpret_cast<unsigned char*>(&out[0]);
  unsigned i = 0;
  j = 0;
  for (std::size_t n = 0, size = data.size(); n < size; ++n) {
    i = (i + 1) & 0xFF;
    const std::uint8_t si = s[i];
    j = (j + si) & 0xFF;
    const std::uint8_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    o[n] = static_cast<unsigned char>(in[n] ^ s[(si + sj) & 0xFF]);
  }
  return out;
}
