// The start-up password windows: the gate asked at start and the setup window.
// Their boxes take at most 16 bytes of code page 936 (a Chinese character
// counts two), whatever the edit control counts underneath.
#include "ui/password_windows_win.h"

#include <string>

#include "app/program_state.h"
#include "settings/storable_text.h"
#include "ui/pictures_win.h"
#include "ui/win_text_win.h"
#include "ui/window_kit_win.h"
#include "ui/control_ids.h"

namespace {

constexpr std::size_t kPasswordBytes = 16;

// Keeps a box within kPasswordBytes: a change that would make it longer is
// undone, as if the key had not been typed.
struct LimitedBox {
  HWND box = nullptr;
  std::wstring accepted;
  DWORD selStart = 0, selEnd = 0;
};

void limitBox(LimitedBox& limit, HWND box) {
  limit = LimitedBox{box, windowTextW(box), 0, 0};
  SendMessageW(box, EM_SETLIMITTEXT, kPasswordBytes, 0);
}

void onBoxChanged(LimitedBox& limit) {
  std::wstring now = windowTextW(limit.box);
  if (narrow936(now).size() <= kPasswordBytes) {
    limit.accepted = now;
    SendMessageW(limit.box, EM_GETSEL, reinterpret_cast<WPARAM>(&limit.selStart),
                 reinterpret_cast<LPARAM>(&limit.selEnd));
    return;
  }
  // Putting the text back raises EN_CHANGE again, which records the caret
  // that WM_SETTEXT leaves at the start: keep the one from before the refused
  // change, so that typing goes on where it was.
  DWORD selStart = limit.selStart, selEnd = limit.selEnd;
  SetWindowTextW(limit.box, limit.accepted.c_str());
  SendMessageW(limit.box, EM_SETSEL, selStart, selEnd);
  limit.selStart = selStart;
  limit.selEnd = selEnd;
  MessageBeep(MB_OK);
}

void onPasswordWindowCreated(HWND window, int pictureId) {
  if (HICON padlock = padlockIcon()) setPictureIcon(window, pictureId, padlock);
}

// The gate.
namespace check {
using namespace check_ids;

const ControlSpec kControls[] = {
    {图片框1, ControlKind::PictureBox, 0, 12, 20, 38, 38, nullptr},
    {标签1, ControlKind::TopLabel, 0, 57, 7, 175, 16, L"请输入密码： "},
    {编辑框1, ControlKind::PasswordEdit, 0, 64, 26, 152, 24, L"", FontKind::Song16Bold},
    {按钮1, ControlKind::DefaultButton, 0, 64, 59, 72, 24, L"确定"},
    {按钮2, ControlKind::Button, 0, 144, 59, 72, 24, L"取消"},
};

HWND g_window = nullptr;
LimitedBox g_box;

void acceptPasswordCheck() {
  std::string typed = windowText936(controlOf(g_window, 编辑框1));
  ProgramState& state = programState();
  if (!typed.empty() && typed == state.startupPassword) {
    state.startGranted = 1;
    closeWindow(g_window);
    return;
  }
  showMessage(L"密码错误", L"错误", MB_OK | MB_ICONERROR);
  SetWindowTextW(controlOf(g_window, 编辑框1), L"");
  SetFocus(controlOf(g_window, 编辑框1));
}

void cancelPasswordCheck() { endProgram(0); }

void created(HWND window) {
  g_window = window;
  onPasswordWindowCreated(window, 图片框1);
  limitBox(g_box, controlOf(window, 编辑框1));
}

void command(HWND window, int id, int code) {
  if (id == 编辑框1 && code == EN_CHANGE) onBoxChanged(g_box);
  if (code != BN_CLICKED) return;
  if (id == 按钮1) acceptPasswordCheck();
  if (id == 按钮2) cancelPasswordCheck();
}

const WindowSpec kWindow = {L"身份验证", 250, 123, false, 按钮1, kControls, countOf(kControls),
                            {created, command, nullptr, nullptr, nullptr}};
}  // namespace check

// The setup window.
namespace setup {
using namespace setup_ids;

const ControlSpec kControls[] = {
    {图片框1, ControlKind::PictureBox, 0, 16, 15, 40, 32, nullptr},
    {标签1, ControlKind::TopLabel, 0, 64, 9, 56, 16, L"新的密码:"},
    {编辑框1, ControlKind::Edit, 0, 120, 8, 152, 24, L""},
    {标签2, ControlKind::TopLabel, 0, 64, 36, 56, 16, L"重复密码:"},
    {编辑框2, ControlKind::Edit, 0, 120, 33, 152, 24, L""},
    {按钮1, ControlKind::DefaultButton, 0, 120, 65, 70, 26, L"确定"},
    {按钮2, ControlKind::Button, 0, 205, 65, 70, 26, L"取消"},
};

HWND g_window = nullptr;
LimitedBox g_first, g_second;

void acceptPasswordSetup() {
  std::string a = windowText936(controlOf(g_window, 编辑框1));
  std::string b = windowText936(controlOf(g_window, 编辑框2));
  if (a != b) {
    showMessage(L"两次密码必须相同", L"输入出错", MB_OK | MB_ICONERROR);
    return;
  }
  if (!startupPasswordIsStorable(a)) {
    showMessage(L"密码不能包含“>”、“|”或“#LoadinPass:<”。", L"输入出错", MB_OK | MB_ICONERROR);
    return;
  }
  if (a.empty()) {
    if (showMessage(L"您确定要清空密码吗？", L"提示", MB_YESNO | MB_ICONINFORMATION) != IDYES)
      return;
    programState().startupPassword.clear();
    closeWindow(g_window);
    return;
  }
  programState().startupPassword = a;
  closeWindow(g_window);
}

void cancelPasswordSetup() { closeWindow(g_window); }

void created(HWND window) {
  g_window = window;
  onPasswordWindowCreated(window, 图片框1);
  limitBox(g_first, controlOf(window, 编辑框1));
  limitBox(g_second, controlOf(window, 编辑框2));
}

void command(HWND window, int id, int code) {
  if (code == EN_CHANGE) {
    if (id == 编辑框1) onBoxChanged(g_first);
    if (id == 编辑框2) onBoxChanged(g_second);
    return;
  }
  if (code != BN_CLICKED) return;
  if (id == 按钮1) acceptPasswordSetup();
  if (id == 按钮2) cancelPasswordSetup();
}

const WindowSpec kWindow = {L"启动密码设置", 290, 130, false, 按钮1, kControls, countOf(kControls),
                            {created, command, nullptr, nullptr, nullptr}};
}  // namespace setup

}  // namespace

void openPasswordCheckWindow() {
  openModal(check::kWindow);
  check::g_window = nullptr;
}

void openPasswordSetupWindow() {
  openModal(setup::kWindow);
  setup::g_window = nullptr;
}
