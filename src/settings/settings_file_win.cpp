// The settings file on disk: read once at start (others may read it meanwhile
// but not write it), written whole when the main window closes (nobody else
// may read or write the new file while it is being written).
#include "settings/settings_file_win.h"

#include <windows.h>

#include <string>

#include "app/program_state.h"
#include "settings/settings_cipher.h"
#include "settings/settings_text.h"
#include "ui/main_window_win.h"

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (valid()) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  void close() {
    if (valid()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

enum class ReadOutcome { Read, Missing, Unreadable };

// The whole file, or nothing. A file that exists but cannot be read whole
// (held without sharing by another program, no rights, a folder of that name,
// a read error) is told apart from a missing one.
ReadOutcome readWholeFile(const std::wstring& name, std::string& bytes) {
  bytes.clear();
  FileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    DWORD error = GetLastError();
    return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? ReadOutcome::Missing
                                                                             : ReadOutcome::Unreadable;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 0x7FFFFFFF)
    return ReadOutcome::Unreadable;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(bytes.size() - done);
    if (!ReadFile(file.get(), &bytes[done], want, &got, nullptr) || got == 0) {
      bytes.clear();
      return ReadOutcome::Unreadable;
    }
    done += got;
  }
  return ReadOutcome::Read;
}

bool writeWholeFile(const std::wstring& name, const std::string& bytes) {
  FileHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
  if (!file.valid()) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    DWORD want = static_cast<DWORD>(bytes.size() - done);
    if (!WriteFile(file.get(), bytes.data() + done, want, &wrote, nullptr) || wrote == 0)
      return false;
    done += wrote;
  }
  return FlushFileBuffers(file.get()) != FALSE;
}

}  // namespace

void loadSettings() {
  ProgramState& state = programState();
  state.settingsFileName = L"ms.ini";
  std::string bytes;
  // A file that is there but could not be read starts the program empty, as
  // a missing one does; it is then never replaced by that empty list.
  state.settingsUnreadable = readWholeFile(state.settingsFileName, bytes) == ReadOutcome::Unreadable;
  state.settingsBytes = applySettingsCipher(bytes, SettingsKey);
  state.startupPassword = startupPasswordFrom(state.settingsBytes);
}

void saveSettings() {
  ProgramState& state = programState();
  if (!state.servers || state.settingsFileName.empty() || state.settingsUnreadable) return;
  std::string text = buildSettingsText(*state.servers, readLaunchOptions(), state.startupPassword);
  std::string bytes = applySettingsCipher(text, SettingsKey);
  // A name of this process's own, so two copies saving at once never write
  // into each other's temporary file.
  std::wstring temporary =
      state.settingsFileName + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  if (!writeWholeFile(temporary, bytes) ||
      !MoveFileExW(temporary.c_str(), state.settingsFileName.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
  }
}
