// The main window: its layout table, the list view's binding to the server
// list, and the handlers of its commands.
#include "ui/main_window_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/program_state.h"
#include "launch/connection_text.h"
#include "launch/launch_text.h"
#include "launch/launch_win.h"
#include "probe/probe_win.h"
#include "settings/settings_file_win.h"
#include "ui/control_ids.h"
#include "ui/editor_window_win.h"
#include "ui/password_windows_win.h"
#include "ui/pictures_win.h"
#include "ui/win_text_win.h"
#include "ui/window_kit_win.h"

using namespace main_ids;

namespace {

// The web addresses behind the six hyperlinks, in one place.
struct Hyperlink {
  int id;
  const wchar_t* address;
};
const Hyperlink kHyperlinks[] = {
    {超级链接框1, L"https://www.qinglan.example/domain/"},
    {超级链接框2, L"https://www.qinglan.example/hosting/"},
    {超级链接框3, L"https://www.qinglan.example/vps/"},
    {超级链接框4, L"https://www.qinglan.example/dedicated/"},
    {超级链接框5, L"https://www.qinglan.example/colocation/"},
    {超级链接框6, L"https://www.qinglan.example/website/"},
};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// Positions are relative to the client area of the parent, in pixels.
const ControlSpec kMainControls[] = {
    // id, kind, parent, x, y, width, height, text, font, colour, sunken, disabled, first of group
    {图片框1, ControlKind::PictureBox, 0, 5, 4, 267, 62, nullptr, FontKind::Gui, CLR_INVALID, true},
    {标签1, ControlKind::Label, 0, 285, 0, 192, 24, L"青岚 - 我国知名IDC服务商", FontKind::Gui, kRed},
    {超级链接框1, ControlKind::Hyperlink, 0, 288, 24, 48, 16, L"域名注册", FontKind::Song12Underline, kBlue},
    {超级链接框2, ControlKind::Hyperlink, 0, 348, 24, 48, 16, L"虚拟主机", FontKind::Song12Underline, kBlue},
    {超级链接框3, ControlKind::Hyperlink, 0, 408, 24, 56, 16, L"VPS服务器", FontKind::Song12Underline, kBlue},
    {超级链接框4, ControlKind::Hyperlink, 0, 280, 48, 60, 16, L"服务器租用", FontKind::Song12Underline, kBlue},
    {超级链接框5, ControlKind::Hyperlink, 0, 352, 48, 60, 16, L"服务器托管", FontKind::Song12Underline, kBlue},
    {超级链接框6, ControlKind::Hyperlink, 0, 424, 48, 48, 16, L"网站建设", FontKind::Song12Underline, kBlue},
    {分组框2, ControlKind::GroupBox, 0, 4, 68, 465, 180, L"服务器控制"},
    {超级列表框1, ControlKind::ListView, 分组框2, 8, 12, 344, 160, nullptr, FontKind::Song12},
    {按钮_连接服务器, ControlKind::DefaultButton, 分组框2, 360, 12, 100, 30, L"连接", FontKind::Song12, CLR_INVALID, false, true},
    {按钮_添加服务器, ControlKind::Button, 分组框2, 360, 44, 100, 30, L"添加"},
    {按钮_删除服务器, ControlKind::Button, 分组框2, 360, 76, 100, 30, L"删除", FontKind::Gui, CLR_INVALID, false, true},
    {按钮_设置服务器, ControlKind::Button, 分组框2, 360, 108, 100, 30, L"修改"},
    {按钮_启动密码, ControlKind::Button, 分组框2, 360, 141, 100, 30, L"启动密码"},
    {分组框4, ControlKind::GroupBox, 0, 5, 253, 344, 131, L"备注"},
    {编辑框_备注, ControlKind::ReadOnlyMultiLineEdit, 分组框4, 7, 14, 328, 109, L""},
    {分组框1, ControlKind::GroupBox, 0, 358, 256, 115, 56, L"启动方式"},
    {选择框_onsole, ControlKind::CheckBox, 分组框1, 8, 16, 72, 16, L"console"},
    {选择框_admin, ControlKind::CheckBox, 分组框1, 8, 35, 72, 16, L"admin"},
    {分组框3, ControlKind::GroupBox, 0, 358, 312, 115, 72, L"分辨率"},
    {单选框1, ControlKind::RadioButton, 分组框3, 8, 16, 72, 16, L"全屏", FontKind::Gui, CLR_INVALID, false, false, true},
    {单选框1024768, ControlKind::RadioButton, 分组框3, 8, 32, 80, 16, L"1024*768"},
    {单选框800600, ControlKind::RadioButton, 分组框3, 8, 48, 88, 16, L" 800*600"},
};

struct Column {
  const wchar_t* title;
  int width;
  int format;
};
const Column kColumns[] = {
    {L"主机IP地址", 130, LVCFMT_LEFT},
    {L"端口", 50, LVCFMT_LEFT},
    {L"登陆账号", 100, LVCFMT_CENTER},
    {L"网络状态", 60, LVCFMT_CENTER},
};

HWND g_mainWindow = nullptr;
bool g_closing = false;

void windowCreated(HWND window);
void windowCommand(HWND window, int id, int code);
LRESULT windowNotify(HWND window, NMHDR* header);
bool windowCloseRequested(HWND window);
LRESULT windowMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);

const WindowSpec kMainWindow = {
    L"青岚3389远程连接器 v2.0", 486, 423, true, 按钮_连接服务器,
    kMainControls, countOf(kMainControls),
    {windowCreated, windowCommand, windowNotify, windowCloseRequested, windowMessage},
};

HWND control(int id) { return controlOf(g_mainWindow, id); }
HWND listView() { return control(超级列表框1); }

bool isChecked(int id) { return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
// Only a change is sent: BM_SETCHECK on a radio button also sets or clears its
// WS_TABSTOP, and unchecking the three unchecked resolution buttons would
// leave the group unreachable by Tab.
void setChecked(int id, bool checked) {
  if (isChecked(id) == checked) return;
  SendMessageW(control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void setUpListView() {
  HWND list = listView();
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (int i = 0; i < 4; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = kColumns[i].format;
    column.cx = kColumns[i].width;
    column.pszText = const_cast<wchar_t*>(kColumns[i].title);
    column.iSubItem = i;
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  if (HIMAGELIST images = makeStateImageList())
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images));
}

void setRowText(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void setRowStateImage(HWND list, int row, int imageIndex) {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(imageIndex + 1);
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// Shows a probe result in row item - 1, on the GUI thread.
void showProbeResult(std::int32_t item, bool online) {
  if (g_closing) return;
  HWND list = listView();
  int row = item - 1;
  int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  if (row < 0 || row >= rows) return;
  std::int32_t status = online ? StatusOnline : StatusOffline;
  setRowStateImage(list, row, stateImageIndex(status));
  setRowText(list, row, 3, widen936(statusText(status)));
}

// The edit box needs CR LF; a lone CR or LF of a remark still shows as a line break.
std::wstring remarkForDisplay(const std::string& remark) {
  std::wstring text = widen936(remark);
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r') {
      out += L"\r\n";
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else if (c == L'\n') {
      out += L"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

void openHyperlink(int id) {
  for (const Hyperlink& link : kHyperlinks)
    if (link.id == id) ShellExecuteW(nullptr, L"open", link.address, nullptr, nullptr, SW_SHOWNORMAL);
}

void windowCreated(HWND window) {
  g_mainWindow = window;
  setUpListView();
  if (HBITMAP banner = bannerBitmap()) setPictureBitmap(window, 图片框1, banner);
  onMainWindowCreated(window);
}

void windowCommand(HWND window, int id, int code) {
  if (id >= 超级链接框1 && id <= 超级链接框6) {
    if (code == STN_CLICKED) openHyperlink(id);
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case 按钮_连接服务器: connectSelected(); break;
    case 按钮_添加服务器: addServer(); break;
    case 按钮_删除服务器: deleteSelectedServer(); break;
    case 按钮_设置服务器: modifySelectedServer(); break;
    case 按钮_启动密码: openPasswordSetup(); break;
    default: break;
  }
}

LRESULT windowNotify(HWND window, NMHDR* header) {
  if (header->idFrom != static_cast<UINT_PTR>(超级列表框1)) return 0;
  if (header->code == LVN_ITEMCHANGED) {
    auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if ((change->uChanged & LVIF_STATE) && change->iItem >= 0 &&
        (change->uNewState & LVIS_FOCUSED) && !(change->uOldState & LVIS_FOCUSED))
      onFocusedRowChanged();
  } else if (header->code == NM_DBLCLK) {
    connectSelected();
  }
  return 0;
}

bool windowCloseRequested(HWND window) {
  // From here on late probe results are dropped.
  g_closing = true;
  markMainWindowClosing();
  onMainWindowCanClose();
  return true;
}

LRESULT windowMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (msg) {
    case WM_PROBE_RESULT:
      handled = true;
      try {
        showProbeResults(showProbeResult);
      } catch (...) {
        // Out of memory: the rows not yet shown keep "..."; their workers
        // have been let go.
      }
      return 0;
    case WM_QUERYENDSESSION:
      // Windows asks whether it may log off or shut down: save, and say yes.
      handled = true;
      onMainWindowCanClose();
      return TRUE;
    case WM_DESTROY:
      g_closing = true;
      markMainWindowClosing();
      g_mainWindow = nullptr;
      return 0;
    default:
      return 0;
  }
}

}  // namespace

HWND openMainWindow() { return openWindow(kMainWindow); }

HWND mainWindow() { return g_mainWindow; }

LaunchOptions readLaunchOptions() {
  LaunchOptions options;
  if (!g_mainWindow) return options;
  options.console = isChecked(选择框_onsole);
  options.admin = isChecked(选择框_admin);
  if (isChecked(单选框1))
    options.resolution = Resolution::FullScreen;
  else if (isChecked(单选框1024768))
    options.resolution = Resolution::R1024x768;
  else if (isChecked(单选框800600))
    options.resolution = Resolution::R800x600;
  return options;
}

void writeLaunchOptions(const LaunchOptions& options) {
  setChecked(选择框_onsole, options.console);
  setChecked(选择框_admin, options.admin);
  setChecked(单选框1, options.resolution == Resolution::FullScreen);
  setChecked(单选框1024768, options.resolution == Resolution::R1024x768);
  setChecked(单选框800600, options.resolution == Resolution::R800x600);
}

void refillListView() {
  HWND list = listView();
  ServerList& servers = *programState().servers;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  std::int32_t n = servers.entryCount();
  SendMessageW(list, LVM_SETITEMCOUNT, n, 0);
  for (std::int32_t k = 1; k <= n; ++k) {
    ServerEntry entry = servers.entryAt(k);
    std::wstring address = widen936(entry.address);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = k - 1;
    item.pszText = const_cast<wchar_t*>(address.c_str());
    item.lParam = k;
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(stateImageIndex(entry.status) + 1);
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    setRowText(list, row, 1, widen936(entry.port));
    setRowText(list, row, 2, widen936(entry.account));
    setRowText(list, row, 3, widen936(statusText(entry.status)));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

std::int32_t selectedItemNumber() {
  HWND list = listView();
  if (!list) return 0;
  int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0) return 0;
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  return static_cast<std::int32_t>(item.lParam);
}

void onMainWindowCreated(HWND window) {
  ProgramState& state = programState();
  LaunchOptions options = readLaunchOptions();
  applySettingsText(state.settingsBytes, *state.servers, options);
  writeLaunchOptions(options);
  refillListView();
  startNetwork();
  startStatusProbe(state.servers, static_cast<std::int32_t>(SendMessageW(listView(), LVM_GETITEMCOUNT, 0, 0)),
                   window);
}

void onMainWindowCanClose() { saveSettings(); }

void showSelectionMessage() {
  showMessage(L"请选择服务器列表！", L"操作错误", MB_OK | MB_ICONERROR);
}

void connectSelected() {
  std::int32_t n = selectedItemNumber();
  if (n <= 0) {
    showSelectionMessage();
    return;
  }
  std::wstring path = makeTempFileName();
  HWND button = control(按钮_连接服务器);
  EnableWindow(button, FALSE);
  try {
    ServerEntry entry = programState().servers->entryAt(n);
    writeConnectionFile(path, buildConnectionText(entry, makePasswordBlob));
    ensureLocalDevicesValue(entry.address);
    std::string command = buildCommandLine(narrowUtf8(path), buildOptionText(readLaunchOptions()));
    startClient(widenUtf8(command));
  } catch (...) {
    // Out of memory: the connect is given up; the button comes back all the same.
  }
  EnableWindow(button, TRUE);
}

void addServer() {
  programState().editIndex = 0;
  openServerEditor();
}

void modifySelectedServer() {
  std::int32_t n = selectedItemNumber();
  if (n <= 0) {
    showSelectionMessage();
    return;
  }
  programState().editIndex = n;
  openServerEditor();
}

void deleteSelectedServer() {
  std::int32_t n = selectedItemNumber();
  if (n <= 0) {
    showSelectionMessage();
    return;
  }
  if (showMessage(L"确认删除该项？", L"删除项目", MB_OKCANCEL) != IDOK) return;
  n = selectedItemNumber();
  if (n > 0) programState().servers->removeEntry(n);
  refillListView();
}

void openPasswordSetup() { openPasswordSetupWindow(); }

void onFocusedRowChanged() {
  EnableWindow(control(按钮_删除服务器), TRUE);
  EnableWindow(control(按钮_连接服务器), TRUE);
  std::int32_t n = selectedItemNumber();
  ServerList& servers = *programState().servers;
  if (n >= 1 && n <= servers.entryCount())
    SetWindowTextW(control(编辑框_备注), remarkForDisplay(servers.entryAt(n).remark).c_str());
  else
    SetWindowTextW(control(编辑框_备注), L"");
}
