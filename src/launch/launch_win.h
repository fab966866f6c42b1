// What a connect needs from Windows: the protected password, the connection
// file, the per-server registry value and the client's start.
#pragma once

#include <string>

// The PasswordBlob of a non-empty code-page 936 password: converted to
// UTF-16LE with code page 936, put into the input block, protected with
// CryptProtectData ("psw", no entropy, flags 0) and written as hex. A failed
// protection gives "0".
std::string makePasswordBlob(const std::string& password);

// Writes the bytes to path (created or emptied, no sharing). False when the
// path is empty or the file cannot be written.
bool writeConnectionFile(const std::wstring& path, const std::string& text);

// A path in the user's temporary folder that no file has yet (not created).
std::wstring makeTempFileName();

// Creates HKCU\...\LocalDevices\<address> = REG_DWORD 76 when no value of that
// name exists; never changes an existing value. Failures are ignored.
void ensureLocalDevicesValue(const std::string& address);

// Starts the command line (no application name), waits until the new process
// is ready for input (at most 1000 ms), closes both handles. False when the
// process could not be created.
bool startClient(const std::wstring& commandLine);
