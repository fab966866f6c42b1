// Conversions at the Win32 boundary. Texts of the system are code-page 936
// bytes; the windows speak UTF-16. The code page is always 936, never the
// system's ANSI code page, so the program shows and stores the same bytes on
// any Windows. Paths inside the portable core are UTF-8.
#pragma once

#include <windows.h>

#include <string>

std::wstring widen936(const std::string& text);
std::string narrow936(const std::wstring& text);
std::wstring widenUtf8(const std::string& text);
std::string narrowUtf8(const std::wstring& text);

std::wstring windowTextW(HWND window);
// The window's text as code-page 936 bytes.
std::string windowText936(HWND window);
void setWindowText936(HWND window, const std::string& text);
