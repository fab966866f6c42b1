// Code-page conversions for the Win32 layer: code page 936 for the system's
// texts, UTF-8 for paths handed to the portable core.
#include "ui/win_text_win.h"

#include <vector>

namespace {

std::wstring widen(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string narrow(UINT codePage, const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

}  // namespace

std::wstring widen936(const std::string& text) { return widen(936, text); }
std::string narrow936(const std::wstring& text) { return narrow(936, text); }
std::wstring widenUtf8(const std::string& text) { return widen(CP_UTF8, text); }
std::string narrowUtf8(const std::wstring& text) { return narrow(CP_UTF8, text); }

std::wstring windowTextW(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(window, buffer.data(), length + 1);
  return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

std::string windowText936(HWND window) { return narrow936(windowTextW(window)); }

void setWindowText936(HWND window, const std::string& text) {
  SetWindowTextW(window, widen936(text).c_str());
}
