// The Remote Desktop connection file's text: a fixed 38-line template with
// three placeholders filled from one server entry.
#pragma once

#include <functional>
#include <string>

#include "servers/server_list.h"

// The 38 CR LF lines, 908 bytes in code page 936.
extern const std::string ConnectionTemplate;

// Turns a non-empty password into its PasswordBlob text (the Win32 layer
// protects it with CryptProtectData; tests pass a fake).
using PasswordBlobMaker = std::function<std::string(const std::string& password)>;

// The template with "%账号%" -> account, then "%服务器地址%" -> address ":" port,
// then (only for a non-empty password) "%密码%" -> "password 51:b:" blob; each
// step one scan from the left over the whole current text.
std::string buildConnectionText(const ServerEntry& entry, const PasswordBlobMaker& makePasswordBlob);

// Each blob byte as two capital hexadecimal digits, then one "0".
std::string passwordBlobText(const std::string& blobBytes);

// The input block handed to the protection call: the UTF-16LE password with
// its terminator, zero-padded to 512 bytes; a longer password makes the block
// exactly as long as the password, never cut.
std::string passwordInputBlock(const std::string& utf16leWithTerminator);
