// The Windows side of a connect: protecting the password with the data
// protection service, writing the connection file, choosing its temporary
// name, the per-server LocalDevices registry value and starting the client.
// Texts of the system (code page 936) are converted here, at the Win32 call,
// always with code page 936 so the result does not depend on the machine's
// ANSI code page.
#include "launch/launch_win.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <string>
#include <vector>

#include "launch/connection_text.h"
#include "launch/launch_text.h"

namespace {

constexpr UINT TextCodePage = 936;
constexpr DWORD LocalDevicesData = 76;
constexpr DWORD ClientReadyWaitMs = 1000;

std::wstring wideFrom(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string utf8From(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                      nullptr, nullptr);
  return out;
}

// Overwrites a buffer that held the plain password before it is released.
void wipe(void* data, std::size_t size) {
  if (data != nullptr && size != 0) SecureZeroMemory(data, size);
}

// An open registry key, closed when it goes out of scope.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { close(); }

  // HKEY_CURRENT_USER\path, opened with the given access; false (and nothing
  // held) when it cannot be opened.
  bool open(const std::wstring& path, REGSAM access) {
    close();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key) != ERROR_SUCCESS) {
      return false;
    }
    key_ = key;
    return true;
  }
  // The same, creating the key and any missing keys along the path.
  bool create(const std::wstring& path, REGSAM access) {
    close();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        access, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    key_ = key;
    return true;
  }
  HKEY get() const { return key_; }
  void close() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::string makePasswordBlob(const std::string& password) {
  try {
    // The converted text includes its terminating zero unit.
    const int n = MultiByteToWideChar(TextCodePage, 0, password.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n > 0) MultiByteToWideChar(TextCodePage, 0, password.c_str(), -1, wide.data(), n);

    std::string utf16;
    if (!wide.empty()) {
      utf16.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
      wipe(wide.data(), wide.size() * sizeof(wchar_t));
    }
    std::string block = passwordInputBlock(utf16);
    wipe(&utf16[0], utf16.size());

    DATA_BLOB in;
    in.cbData = static_cast<DWORD>(block.size());
    in.pbData = reinterpret_cast<BYTE*>(&block[0]);
    DATA_BLOB out = {0, nullptr};
    const BOOL ok = CryptProtectData(&in, L"psw", nullptr, nullptr, nullptr, 0, &out);
    wipe(&block[0], block.size());

    std::string blobBytes;
    if (ok && out.pbData != nullptr) {
      blobBytes.assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
    }
    if (out.pbData != nullptr) LocalFree(out.pbData);
    return passwordBlobText(blobBytes);
  } catch (...) {
    return passwordBlobText(std::string());
  }
}

bool writeConnectionFile(const std::wstring& path, const std::string& text) {
  if (path.empty()) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;

  bool ok = true;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    const std::size_t left = text.size() - done;
    const DWORD chunk = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) {
      ok = false;
    }
    done += written;
  }
  if (!CloseHandle(file)) ok = false;
  return ok;
}

std::wstring makeTempFileName() {
  static std::uint32_t counter = 0;  // lives for the whole run

  std::wstring dir;
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n > 0 && n <= MAX_PATH) {
    dir.assign(buffer, n);
  } else if (n > MAX_PATH) {
    // A longer temporary folder: ask again with room for it.
    std::vector<wchar_t> big(static_cast<std::size_t>(n) + 1);
    const DWORD m = GetTempPathW(static_cast<DWORD>(big.size()), big.data());
    if (m > 0 && m < big.size()) dir.assign(big.data(), m);
  }

  const auto exists = [](const std::string& utf8Path) {
    const std::wstring wide = wideFrom(CP_UTF8, utf8Path);
    return !wide.empty() && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
  };
  const std::string path =
      ::makeTempFileName(utf8From(dir), static_cast<std::uint32_t>(GetTickCount()), counter, exists);
  return wideFrom(CP_UTF8, path);
}

void ensureLocalDevicesValue(const std::string& address) {
  try {
    const RegistryPath where = localDevicesPath(address);
    const std::wstring key = wideFrom(TextCodePage, where.keyPath);
    const std::wstring name = wideFrom(TextCodePage, where.valueName);

    {
      RegKey reader;
      // Any type will do; only whether the value is there matters.
      if (reader.open(key, KEY_READ) &&
          RegQueryValueExW(reader.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
              ERROR_SUCCESS) {
        return;
      }
    }

    RegKey writer;
    if (!writer.open(key, KEY_WRITE) && !writer.create(key, KEY_WRITE)) return;
    const DWORD data = LocalDevicesData;
    RegSetValueExW(writer.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                   sizeof data);
  } catch (...) {
    // Registry trouble is never reported; the connect goes on.
  }
}

bool startClient(const std::wstring& commandLine) {
  try {
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
      return false;
    }
    WaitForInputIdle(pi.hProcess, ClientReadyWaitMs);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
  } catch (...) {
    return false;
  }
}
