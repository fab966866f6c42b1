// The window toolkit: builds windows from their layout tables, runs the
// message loop with the program's keyboard rules, opens windows modally and
// shows message boxes.
#include "ui/window_kit_win.h"

#include <commctrl.h>

#include <map>
#include <vector>

namespace {

const wchar_t kWindowClass[] = L"RdpConnectorWindow";

struct Picture {
  HBITMAP bitmap = nullptr;
  HICON icon = nullptr;
};

struct WindowData {
  WindowSpec spec{};
  std::map<int, HWND> controls;
  std::map<int, const ControlSpec*> specs;
  std::map<int, Picture> pictures;
  std::vector<HWND> disabledBelow;  // windows this modal window disabled
  HWND lastFocus = nullptr;
};

int g_windowCount = 0;
bool g_endWhenNoWindowLeft = false;

WindowData* dataOf(HWND window) {
  if (!window) return nullptr;
  wchar_t name[64];
  if (!GetClassNameW(window, name, 64) || lstrcmpW(name, kWindowClass) != 0) return nullptr;
  return reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HFONT songFont(int height, int weight, bool underline) {
  return CreateFontW(-height, 0, 0, 0, weight, FALSE, underline, FALSE, GB2312_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

// The fonts are made once and kept for the run.
HFONT fontFor(FontKind kind) {
  switch (kind) {
    case FontKind::Gui:
      break;
    case FontKind::Song12: {
      static HFONT font = songFont(12, FW_NORMAL, false);
      return font;
    }
    case FontKind::Song12Underline: {
      static HFONT font = songFont(12, FW_NORMAL, true);
      return font;
    }
    case FontKind::Song16Bold: {
      static HFONT font = songFont(16, FW_BOLD, false);
      return font;
    }
  }
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// Group boxes hold controls of their own; what those controls tell their
// parent goes on to the window, where the handlers are. The window procedure
// is replaced directly rather than through the common controls' subclass
// helper: that helper looks up a window property on every message, which
// under Wine is a server round trip, and a list view sends several
// notifications per row it fills.
WNDPROC g_groupBoxProc = nullptr;

LRESULT CALLBACK forwardToWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
      return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
    default:
      return CallWindowProcW(g_groupBoxProc, hwnd, msg, wParam, lParam);
  }
}

void forwardGroupBox(HWND groupBox) {
  WNDPROC previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      groupBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(forwardToWindow)));
  // Every group box is a button of the same class, with the same procedure.
  if (!g_groupBoxProc) g_groupBoxProc = previous;
}

struct ClassAndStyle {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

ClassAndStyle classAndStyleOf(const ControlSpec& c) {
  switch (c.kind) {
    case ControlKind::Label:
      return {L"STATIC", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0};
    case ControlKind::RightLabel:
      return {L"STATIC", SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX, 0};
    case ControlKind::TopLabel:
      return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::Hyperlink:
      return {L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY, 0};
    case ControlKind::GroupBox:
      return {L"BUTTON", BS_GROUPBOX, WS_EX_CONTROLPARENT};
    case ControlKind::ListView:
      return {WC_LISTVIEWW,
              LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      return {L"BUTTON", BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE | WS_TABSTOP, 0};
    case ControlKind::DefaultButton:
      return {L"BUTTON", BS_DEFPUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE | WS_TABSTOP, 0};
    case ControlKind::Edit:
      return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::PasswordEdit:
      return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::MultiLineEdit:
      return {L"EDIT", ES_LEFT | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case ControlKind::ReadOnlyMultiLineEdit:
      return {L"EDIT", ES_LEFT | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case ControlKind::CheckBox:
      return {L"BUTTON", BS_AUTOCHECKBOX | BS_VCENTER | WS_TABSTOP, 0};
    case ControlKind::RadioButton:
      return {L"BUTTON", BS_AUTORADIOBUTTON | BS_VCENTER | WS_TABSTOP, 0};
    case ControlKind::PictureBox:
      return {L"STATIC", SS_OWNERDRAW, 0};
  }
  return {L"STATIC", 0, 0};
}

void buildControls(HWND window, WindowData& data) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (std::size_t i = 0; i < data.spec.controlCount; ++i) {
    const ControlSpec& c = data.spec.controls[i];
    ClassAndStyle cs = classAndStyleOf(c);
    DWORD style = WS_CHILD | WS_VISIBLE | cs.style;
    if (c.disabled) style |= WS_DISABLED;
    if (c.firstOfGroup) style |= WS_GROUP;
    DWORD exStyle = cs.exStyle | (c.sunkenEdge ? WS_EX_STATICEDGE : 0);
    HWND parent = window;
    if (c.parent != 0) {
      auto it = data.controls.find(c.parent);
      if (it != data.controls.end()) parent = it->second;
    }
    HWND control = CreateWindowExW(exStyle, cs.className, c.text ? c.text : L"", style, c.x, c.y,
                                   c.width, c.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance,
                                   nullptr);
    if (!control) continue;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(c.font)), FALSE);
    if (c.kind == ControlKind::GroupBox) forwardGroupBox(control);
    if (c.kind == ControlKind::PasswordEdit) SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
    data.controls[c.id] = control;
    data.specs[c.id] = &c;
  }
}

const ControlSpec* specOfControl(WindowData* data, HWND control) {
  if (!data || !control) return nullptr;
  auto it = data->specs.find(GetDlgCtrlID(control));
  if (it == data->specs.end() || data->controls[it->first] != control) return nullptr;
  return it->second;
}

void drawPicture(WindowData* data, const DRAWITEMSTRUCT* item) {
  FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
  auto it = data->pictures.find(static_cast<int>(item->CtlID));
  if (it == data->pictures.end()) return;
  if (it->second.icon) {
    DrawIconEx(item->hDC, item->rcItem.left, item->rcItem.top, it->second.icon, 0, 0, 0, nullptr,
               DI_NORMAL);
  } else if (it->second.bitmap) {
    BITMAP info{};
    GetObjectW(it->second.bitmap, sizeof(info), &info);
    HDC memory = CreateCompatibleDC(item->hDC);
    HGDIOBJ old = SelectObject(memory, it->second.bitmap);
    BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, info.bmWidth, info.bmHeight, memory, 0,
           0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
}

bool isPushButton(HWND control) {
  wchar_t name[16];
  if (!GetClassNameW(control, name, 16) || lstrcmpiW(name, L"BUTTON") != 0) return false;
  LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

bool isEditableMultiLine(HWND control) {
  wchar_t name[16];
  if (!GetClassNameW(control, name, 16) || lstrcmpiW(name, L"EDIT") != 0) return false;
  LONG style = GetWindowLongW(control, GWL_STYLE);
  return (style & ES_MULTILINE) && !(style & ES_READONLY);
}

void clickButton(HWND window, HWND button) {
  if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button)) return;
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

// Esc and Enter, as every window of the program treats them; then the
// system's tab-stop navigation.
bool handleKeyboard(MSG& msg) {
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  WindowData* data = dataOf(root);
  if (!data) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
    SendMessageW(root, WM_CLOSE, 0, 0);
    return true;
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
    if (isEditableMultiLine(msg.hwnd)) return false;
    if (msg.hwnd != root && isPushButton(msg.hwnd) && GetAncestor(msg.hwnd, GA_ROOT) == root) {
      clickButton(root, msg.hwnd);
    } else if (data->spec.defaultButton != 0) {
      clickButton(root, controlOf(root, data->spec.defaultButton));
    }
    return true;
  }
  if ((msg.message == WM_CHAR || msg.message == WM_KEYUP) &&
      (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE) && !isEditableMultiLine(msg.hwnd))
    return true;
  return IsDialogMessageW(root, &msg) != FALSE;
}

void focusFirstTabStop(HWND window, WindowData& data) {
  for (std::size_t i = 0; i < data.spec.controlCount; ++i) {
    HWND c = data.controls[data.spec.controls[i].id];
    if (c && (GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(c)) {
      SetFocus(c);
      return;
    }
  }
}

LRESULT CALLBACK windowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    ++g_windowCount;
    return DefWindowProcW(window, msg, wParam, lParam);
  }
  WindowData* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!data) return DefWindowProcW(window, msg, wParam, lParam);

  if (data->spec.behaviour.message && msg != WM_NCDESTROY) {
    bool handled = false;
    LRESULT result = data->spec.behaviour.message(window, msg, wParam, lParam, handled);
    if (handled) return result;
  }

  switch (msg) {
    case WM_COMMAND:
      if (lParam && data->spec.behaviour.command)
        data->spec.behaviour.command(window, LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      if (data->spec.behaviour.notify)
        return data->spec.behaviour.notify(window, reinterpret_cast<NMHDR*>(lParam));
      return 0;
    case WM_CLOSE:
      if (!IsWindowEnabled(window)) return 0;  // a modal window or message box is above it
      if (!data->spec.behaviour.closeRequested || data->spec.behaviour.closeRequested(window))
        closeWindow(window);
      return 0;
    case WM_CTLCOLORSTATIC: {
      const ControlSpec* c = specOfControl(data, reinterpret_cast<HWND>(lParam));
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (c && c->kind == ControlKind::ReadOnlyMultiLineEdit) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      }
      if (c && c->textColor != CLR_INVALID) {
        SetTextColor(dc, c->textColor);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlType == ODT_STATIC) {
        drawPicture(data, item);
        return TRUE;
      }
      break;
    }
    case WM_SETCURSOR: {
      const ControlSpec* c = specOfControl(data, reinterpret_cast<HWND>(wParam));
      if (c && c->kind == ControlKind::Hyperlink) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) data->lastFocus = focus;
      } else if (data->lastFocus && IsWindow(data->lastFocus)) {
        SetFocus(data->lastFocus);
        return 0;
      }
      break;
    case WM_NCDESTROY: {
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      delete data;
      --g_windowCount;
      if (g_windowCount == 0 && g_endWhenNoWindowLeft) PostQuitMessage(0);
      return DefWindowProcW(window, msg, wParam, lParam);
    }
    default:
      break;
  }
  return DefWindowProcW(window, msg, wParam, lParam);
}

void dispatch(MSG& msg) {
  if (handleKeyboard(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

BOOL CALLBACK collectEnabled(HWND window, LPARAM param) {
  if (dataOf(window) && IsWindowEnabled(window))
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

bool initWindowKit() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  return RegisterClassExW(&wc) != 0;
}

HWND openWindow(const WindowSpec& spec) {
  auto* data = new WindowData;
  data->spec = spec;
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | (spec.minimizeBox ? WS_MINIMIZEBOX : 0);
  DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  int x = (GetSystemMetrics(SM_CXSCREEN) - spec.outerWidth) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - spec.outerHeight) / 2;
  HWND window = CreateWindowExW(exStyle, kWindowClass, spec.title, style, x, y, spec.outerWidth,
                                spec.outerHeight, nullptr, nullptr, GetModuleHandleW(nullptr), data);
  if (!window) {
    delete data;
    return nullptr;
  }
  buildControls(window, *data);
  if (spec.behaviour.created) spec.behaviour.created(window);
  if (!IsWindow(window)) return nullptr;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetForegroundWindow(window);
  focusFirstTabStop(window, *data);
  return window;
}

void openModal(const WindowSpec& spec) {
  std::vector<HWND> below;
  EnumThreadWindows(GetCurrentThreadId(), collectEnabled, reinterpret_cast<LPARAM>(&below));
  for (HWND w : below) EnableWindow(w, FALSE);
  HWND window = openWindow(spec);
  if (WindowData* data = dataOf(window)) {
    data->disabledBelow = below;
  } else {
    for (HWND w : below) EnableWindow(w, TRUE);
    return;
  }
  MSG msg;
  while (IsWindow(window)) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // the quit message belongs to the outer loop
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    dispatch(msg);
  }
}

void closeWindow(HWND window) {
  if (WindowData* data = dataOf(window)) {
    // Give input back before the window goes, so that activation returns to
    // the window below rather than to another program.
    for (HWND w : data->disabledBelow)
      if (IsWindow(w)) EnableWindow(w, TRUE);
    data->disabledBelow.clear();
  }
  DestroyWindow(window);
}

HWND controlOf(HWND window, int id) {
  WindowData* data = dataOf(window);
  if (!data) return nullptr;
  auto it = data->controls.find(id);
  return it == data->controls.end() ? nullptr : it->second;
}

void setPictureBitmap(HWND window, int id, HBITMAP bitmap) {
  if (WindowData* data = dataOf(window)) {
    data->pictures[id] = Picture{bitmap, nullptr};
    InvalidateRect(controlOf(window, id), nullptr, TRUE);
  }
}

void setPictureIcon(HWND window, int id, HICON icon) {
  if (WindowData* data = dataOf(window)) {
    data->pictures[id] = Picture{nullptr, icon};
    InvalidateRect(controlOf(window, id), nullptr, TRUE);
  }
}

int openWindowCount() { return g_windowCount; }

void endWhenNoWindowLeft() {
  g_endWhenNoWindowLeft = true;
  if (g_windowCount == 0) PostQuitMessage(0);
}

void runMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) dispatch(msg);
}

int showMessage(const wchar_t* text, const wchar_t* title, UINT typeAndIcon) {
  return MessageBoxW(nullptr, text, title, typeAndIcon | MB_TASKMODAL);
}
