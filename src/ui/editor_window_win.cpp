// The server editor window: its layout table and handlers. The texts are
// taken as typed; only texts that the settings file cannot carry are refused.
#include "ui/editor_window_win.h"

#include "app/program_state.h"
#include "settings/storable_text.h"
#include "ui/control_ids.h"
#include "ui/main_window_win.h"
#include "ui/win_text_win.h"
#include "ui/window_kit_win.h"

using namespace editor_ids;

namespace {

// Positions of the group box relative to the window's client area, of the
// other controls relative to the group box.
const ControlSpec kEditorControls[] = {
    {分组框1, ControlKind::GroupBox, 0, 4, 2, 248, 262, L"服务器信息"},
    {标签1, ControlKind::RightLabel, 分组框1, 19, 24, 56, 24, L"IP/域名："},
    {编辑框_域名, ControlKind::Edit, 分组框1, 75, 24, 150, 20, L"127.0.0.1"},
    {标签2, ControlKind::RightLabel, 分组框1, 19, 50, 56, 18, L"端口："},
    {编辑框_端口, ControlKind::Edit, 分组框1, 75, 48, 64, 20, L"3389"},
    {标签3, ControlKind::RightLabel, 分组框1, 8, 76, 67, 14, L"登陆账号："},
    {编辑框_账号, ControlKind::Edit, 分组框1, 75, 72, 150, 20, L"Administrator"},
    {标签4, ControlKind::RightLabel, 分组框1, 8, 96, 67, 24, L"登陆密码："},
    {编辑框_密码, ControlKind::Edit, 分组框1, 75, 96, 150, 20, L""},
    {标签5, ControlKind::RightLabel, 分组框1, 8, 120, 67, 14, L"备注："},
    {编辑框_备注, ControlKind::MultiLineEdit, 分组框1, 75, 120, 150, 88, L""},
    {按钮1, ControlKind::DefaultButton, 分组框1, 32, 223, 84, 30, L"添 加 列 表"},
    {按钮2, ControlKind::Button, 分组框1, 128, 223, 84, 30, L"取 消\r\n"},
};

HWND g_editor = nullptr;

void onEditorCreated(HWND window);
void acceptEditor();
void cancelEditor();

void editorCommand(HWND window, int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == 按钮1) acceptEditor();
  if (id == 按钮2) cancelEditor();
}

const WindowSpec kEditorWindow = {
    L"添加服务器列表", 262, 300, false, 按钮1, kEditorControls, countOf(kEditorControls),
    {onEditorCreated, editorCommand, nullptr, nullptr, nullptr},
};

HWND box(int id) { return controlOf(g_editor, id); }

void onEditorCreated(HWND window) {
  g_editor = window;
  // The edit control would stop typing at 30,000 characters of its own accord.
  for (int id : {编辑框_域名, 编辑框_端口, 编辑框_账号, 编辑框_密码, 编辑框_备注})
    SendMessageW(box(id), EM_SETLIMITTEXT, 0, 0);
  ProgramState& state = programState();
  if (state.editIndex <= 0) return;
  ServerEntry entry = state.servers->entryAt(state.editIndex);
  setWindowText936(box(编辑框_域名), entry.address);
  setWindowText936(box(编辑框_账号), entry.account);
  setWindowText936(box(编辑框_密码), entry.password);
  setWindowText936(box(编辑框_端口), entry.port);
  setWindowText936(box(编辑框_备注), entry.remark);
  SetWindowTextW(box(按钮1), L"修 改 列 表(EDIT LIST)");
  SetWindowTextW(window, L"修改服务器列表");
}

void acceptEditor() {
  std::string address = windowText936(box(编辑框_域名));
  std::string port = windowText936(box(编辑框_端口));
  std::string account = windowText936(box(编辑框_账号));
  std::string password = windowText936(box(编辑框_密码));
  std::string remark = windowText936(box(编辑框_备注));
  if (!serverTextsAreStorable(address, port, account, password, remark)) {
    showMessage(L"输入的内容不能包含“|”、换行或“#onsole:”“#admin:”“#Start:”“#LoadinPass:<”。",
                L"输入出错", MB_OK | MB_ICONERROR);
    return;
  }
  ProgramState& state = programState();
  if (state.editIndex <= 0) {
    state.servers->appendEntry({address, port, account, password, remark, StatusNotProbed});
  } else {
    state.servers->replaceEntryFields(state.editIndex, address, port, account, password, remark);
  }
  refillListView();
  closeWindow(g_editor);
}

void cancelEditor() { closeWindow(g_editor); }

}  // namespace

void openServerEditor() {
  openModal(kEditorWindow);
  g_editor = nullptr;
}
