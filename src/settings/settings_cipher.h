// The settings cipher: RC4 under the fixed four-byte key of the program.
// One operation both enciphers and deciphers.
#pragma once

#include <string>

// The key every copy of the program carries.
extern const char SettingsKey[];  // "5826"

// RC4 of data under key (the key's bytes repeat over the 256 schedule
// positions; no keystream byte is dropped). The output has the length of the
// input; empty data gives empty output. An empty key is treated as a key of one
// zero byte.
std::string applySettingsCipher(const std::string& data, const std::string& key);
