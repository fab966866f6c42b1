// Stand-in for the Remote Desktop client in the end-to-end tests. Put beside
// the program as mstsc.exe, it is found before any system copy. Each start
// appends one JSON line to the file named by RDP_STANDIN_LOG (else
// standin.log beside this program) with what it was given:
//   command_line  GetCommandLineW
//   argv          CommandLineToArgvW of it
//   time          GetSystemTimePreciseAsFileTime, 100-ns units
//   pid, cwd
//   file          the first argument after the program name (quoted or not)
//   file_hex      that file's bytes as hex, or null when it cannot be read
//   password      when the file has a line "password 51:b:<hex>": the digits,
//                 the bytes they stand for, the digit left over, and what
//                 CryptUnprotectData makes of the bytes
// Then it shows no window, pumps messages for a moment (so a caller waiting
// with WaitForInputIdle goes on) and exits 0.

#include <windows.h>
#include <shellapi.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string jsonString(const std::wstring& s) {
  std::string out = "\"";
  char buf[8];
  for (wchar_t c : s) {
    if (c == L'"') out += "\\\"";
    else if (c == L'\\') out += "\\\\";
    else if (c >= 0x20 && c < 0x7f) out += static_cast<char>(c);
    else {
      snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c) & 0xffff);
      out += buf;
    }
  }
  return out + "\"";
}

std::string jsonAscii(const std::string& s) { return jsonString(std::wstring(s.begin(), s.end())); }

std::string hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::wstring firstArgument(const wchar_t* cmd) {
  const wchar_t* p = cmd;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  std::wstring arg;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') arg += *p++;
  } else {
    while (*p && *p != L' ' && *p != L'\t') arg += *p++;
  }
  return arg;
}

bool readFile(const std::wstring& path, std::string* out) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  out->clear();
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(f, buf, sizeof buf, &got, nullptr) != 0) && got > 0) out->append(buf, got);
  CloseHandle(f);
  return ok;
}

// The connection file as single-byte lines; a UTF-16LE file (with its byte
// order mark) is narrowed, which keeps every ASCII character.
std::vector<std::string> lines(const std::string& bytes) {
  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xff &&
      static_cast<unsigned char>(bytes[1]) == 0xfe) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += bytes[i + 1] == 0 ? bytes[i] : '?';
  } else {
    text = bytes;
  }
  std::vector<std::string> out;
  size_t b = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n') {
      std::string l = text.substr(b, i - b);
      if (!l.empty() && l.back() == '\r') l.pop_back();
      out.push_back(l);
      b = i + 1;
    }
  }
  return out;
}

std::string passwordRecord(const std::string& digits) {
  std::string rec = "{\"digits\":" + jsonAscii(digits);
  rec += ",\"digit_count\":" + std::to_string(digits.size());
  std::vector<unsigned char> blob;
  bool valid = true;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    int hi = hexDigit(digits[i]), lo = hexDigit(digits[i + 1]);
    if (hi < 0 || lo < 0) {
      valid = false;
      break;
    }
    blob.push_back(static_cast<unsigned char>(hi * 16 + lo));
  }
  rec += ",\"valid_hex\":" + std::string(valid ? "true" : "false");
  rec += ",\"blob_hex\":\"" + hex(blob.data(), blob.size()) + "\"";
  rec += ",\"extra_digit\":";
  rec += digits.size() % 2 ? jsonAscii(digits.substr(digits.size() - 1)) : "null";

  DATA_BLOB in = {static_cast<DWORD>(blob.size()), blob.data()};
  DATA_BLOB out = {0, nullptr};
  LPWSTR description = nullptr;
  bool unprotected = valid && !blob.empty() &&
                     CryptUnprotectData(&in, &description, nullptr, nullptr, nullptr,
                                        CRYPTPROTECT_UI_FORBIDDEN, &out);
  rec += ",\"unprotected\":" + std::string(unprotected ? "true" : "false");
  if (unprotected) {
    rec += ",\"data_hex\":\"" + hex(out.pbData, out.cbData) + "\"";
    rec += ",\"description\":" + (description ? jsonString(description) : std::string("null"));
    LocalFree(out.pbData);
    if (description) LocalFree(description);
  } else {
    rec += ",\"error\":" + std::to_string(GetLastError());
  }
  return rec + "}";
}

std::wstring logPath() {
  wchar_t buf[32768];
  DWORD n = GetEnvironmentVariableW(L"RDP_STANDIN_LOG", buf, 32768);
  if (n > 0 && n < 32768) return buf;
  n = GetModuleFileNameW(nullptr, buf, 32768);
  std::wstring self(buf, n);
  size_t slash = self.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? std::wstring() : self.substr(0, slash + 1)) + L"standin.log";
}

void appendLine(const std::wstring& path, const std::string& line) {
  // Several starts may end at once: one writer at a time.
  HANDLE lock = CreateMutexW(nullptr, FALSE, L"rdp-standin-log");
  if (lock) WaitForSingleObject(lock, 5000);
  HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    std::string data = line + "\n";
    DWORD done = 0;
    WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
    CloseHandle(f);
  }
  if (lock) {
    ReleaseMutex(lock);
    CloseHandle(lock);
  }
}

std::string record() {
  const wchar_t* cmd = GetCommandLineW();
  FILETIME ft;
  GetSystemTimePreciseAsFileTime(&ft);
  unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  wchar_t cwd[32768] = {0};
  GetCurrentDirectoryW(32768, cwd);

  std::string rec = "{\"command_line\":" + jsonString(cmd);
  rec += ",\"argv\":[";
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(cmd, &argc)) {
    for (int i = 0; i < argc; ++i) rec += (i ? "," : "") + jsonString(argv[i]);
    LocalFree(argv);
  }
  rec += "],\"time\":" + std::to_string(t);
  rec += ",\"pid\":" + std::to_string(GetCurrentProcessId());
  rec += ",\"cwd\":" + jsonString(cwd);

  std::wstring file = firstArgument(cmd);
  rec += ",\"file\":" + jsonString(file);
  std::string bytes;
  bool readable = !file.empty() && readFile(file, &bytes);
  rec += ",\"file_hex\":";
  rec += readable ? "\"" + hex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) + "\""
                  : std::string("null");
  rec += ",\"password\":";
  std::string password = "null";
  if (readable) {
    const std::string prefix = "password 51:b:";
    for (const std::string& l : lines(bytes)) {
      if (l.compare(0, prefix.size(), prefix) == 0) {
        password = passwordRecord(l.substr(prefix.size()));
        break;
      }
    }
  }
  rec += password;
  return rec + "}";
}

LRESULT CALLBACK windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    KillTimer(h, 1);
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  appendLine(logPath(), record());

  WNDCLASSW wc = {};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"RdpStandinClient";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, wc.lpszClassName, L"mstsc stand-in", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                           nullptr, instance, nullptr);
  if (w) SetTimer(w, 1, 200, nullptr);
  MSG m;
  while (w && GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
