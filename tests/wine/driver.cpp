// Window driver for the end-to-end tests: a console program that finds,
// reads and works the windows of another process the way a user would.
//
// Protocol: one command per line on stdin, one JSON object per line on
// stdout (ASCII only; everything else as \uXXXX), flushed after each answer.
// Tokens are separated by blanks. Window handles and numbers are decimal
// (negative allowed); texts are hex of their UTF-16LE bytes, because Wine
// does not carry non-ASCII command lines or console input reliably.
//
//   windows [image-hex]              all top-level windows
//   wait <title-hex> <ms> [image-hex] first visible top-level window titled so
//                                    (image: only windows of processes whose
//                                    executable path contains this text,
//                                    compared case-insensitively)
//   gone <hwnd> <ms>                 wait until the window no longer exists
//   info <hwnd>                      one window
//   controls <hwnd>                  all descendants of a window
//   gettext <hwnd>                   WM_GETTEXT
//   settext <hwnd> <text-hex>        WM_SETTEXT (an empty text: "-")
//   click <hwnd>                     BM_CLICK, posted; refused when the user
//                                    could not click it (disabled or hidden)
//   listview <hwnd>                  columns, rows and styles of a list view
//   select <hwnd> <row>              select and focus a row (-1: clear)
//   dblclick <hwnd> <row>            select the row, then double-click it
//   key <hwnd> <vk>                  posted WM_KEYDOWN + WM_KEYUP
//   char <hwnd> <code>               posted WM_CHAR
//   close <hwnd>                     posted WM_CLOSE
//   post <hwnd> <msg> <wp> <lp>      PostMessageW
//   send <hwnd> <msg> <wp> <lp> [ms] SendMessageTimeoutW, gives its result
//   focus <hwnd>                     focus and active window of its thread
//   screen                           GetSystemMetrics screen size
//   quit
//
// Started with "--desktop <name>", it works on that desktop's windows.
//
// Every answer has "ok"; a failure has "ok":false and "error".

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

namespace {

// ---- JSON output ---------------------------------------------------------

class Json {
 public:
  Json& raw(const std::string& s) {
    out_ += s;
    return *this;
  }
  Json& key(const char* k) {
    comma();
    out_ += '"';
    out_ += k;
    out_ += "\":";
    fresh_ = false;
    return *this;
  }
  Json& str(const std::wstring& s) {
    comma();
    out_ += '"';
    char buf[8];
    for (wchar_t c : s) {
      if (c == L'"') {
        out_ += "\\\"";
      } else if (c == L'\\') {
        out_ += "\\\\";
      } else if (c >= 0x20 && c < 0x7f) {
        out_ += static_cast<char>(c);
      } else {
        snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c) & 0xffff);
        out_ += buf;
      }
    }
    out_ += '"';
    return *this;
  }
  Json& str(const char* s) { return str(std::wstring(s, s + strlen(s))); }
  Json& num(long long v) {
    comma();
    out_ += std::to_string(v);
    return *this;
  }
  Json& boolean(bool v) {
    comma();
    out_ += v ? "true" : "false";
    return *this;
  }
  Json& null() {
    comma();
    out_ += "null";
    return *this;
  }
  Json& rect(const RECT& r) {
    comma();
    out_ += "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
            std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
    return *this;
  }
  Json& open(char c) {
    comma();
    out_ += c;
    fresh_ = true;
    return *this;
  }
  Json& close(char c) {
    out_ += c;
    fresh_ = false;
    return *this;
  }
  const std::string& text() const { return out_; }

 private:
  void comma() {
    if (!fresh_ && !out_.empty() && out_.back() != ':') out_ += ',';
    fresh_ = false;
  }
  std::string out_;
  bool fresh_ = true;
};

void answer(const Json& j) {
  fwrite(j.text().data(), 1, j.text().size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

void fail(const std::string& why) {
  Json j;
  j.open('{').key("ok").boolean(false).key("error").str(why.c_str()).close('}');
  answer(j);
}

// ---- parsing -------------------------------------------------------------

std::vector<std::string> tokens(const std::string& line) {
  std::vector<std::string> t;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t b = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > b) t.push_back(line.substr(b, i - b));
  }
  return t;
}

bool parseInt(const std::string& s, long long* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  *v = strtoll(s.c_str(), &end, 0);
  return end && *end == 0;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hex of UTF-16LE bytes to a wide string; "-" is the empty text.
bool parseHexText(const std::string& s, std::wstring* out) {
  out->clear();
  if (s == "-") return true;
  if (s.size() % 4 != 0) return false;
  for (size_t i = 0; i < s.size(); i += 4) {
    int d[4];
    for (int k = 0; k < 4; ++k) {
      d[k] = hexDigit(s[i + k]);
      if (d[k] < 0) return false;
    }
    unsigned lo = d[0] * 16 + d[1], hi = d[2] * 16 + d[3];
    out->push_back(static_cast<wchar_t>(lo | (hi << 8)));
  }
  return true;
}

HWND toHwnd(long long v) { return reinterpret_cast<HWND>(static_cast<intptr_t>(v)); }
long long fromHwnd(HWND h) { return static_cast<long long>(reinterpret_cast<intptr_t>(h)); }

// ---- reading windows -----------------------------------------------------

const UINT kTimeout = 10000;  // per message sent to the program

std::wstring className(HWND h) {
  wchar_t buf[256] = {0};
  GetClassNameW(h, buf, 256);
  return buf;
}

// WM_GETTEXT is marshalled between processes by the system.
std::wstring windowText(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &len)) {
    wchar_t buf[1024] = {0};
    InternalGetWindowText(h, buf, 1024);
    return buf;
  }
  std::vector<wchar_t> buf(len + 2, 0);
  DWORD_PTR got = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                      SMTO_ABORTIFHUNG, kTimeout, &got);
  return std::wstring(buf.data(), got < buf.size() ? got : buf.size() - 1);
}

std::wstring lower(std::wstring s) {
  for (wchar_t& c : s) c = towlower(c);
  return s;
}

// The executable path of a process, or empty.
std::wstring processImage(DWORD pid) {
  HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!p) return L"";
  wchar_t buf[MAX_PATH * 4] = {0};
  DWORD n = MAX_PATH * 4;
  std::wstring path;
  if (QueryFullProcessImageNameW(p, 0, buf, &n)) path.assign(buf, n);
  CloseHandle(p);
  return path;
}

bool imageMatches(HWND h, const std::wstring& image) {
  if (image.empty()) return true;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return lower(processImage(pid)).find(lower(image)) != std::wstring::npos;
}

void windowFields(Json& j, HWND h) {
  RECT wr = {}, cr = {};
  GetWindowRect(h, &wr);
  GetClientRect(h, &cr);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  j.key("hwnd").num(fromHwnd(h));
  j.key("title").str(windowText(h));
  j.key("class").str(className(h));
  j.key("pid").num(pid);
  j.key("image").str(processImage(pid));
  j.key("rect").rect(wr);
  j.key("client").rect(cr);
  j.key("style").num(static_cast<unsigned long>(GetWindowLongW(h, GWL_STYLE)));
  j.key("exstyle").num(static_cast<unsigned long>(GetWindowLongW(h, GWL_EXSTYLE)));
  j.key("visible").boolean(IsWindowVisible(h) != 0);
  j.key("enabled").boolean(IsWindowEnabled(h) != 0);
  HWND owner = GetWindow(h, GW_OWNER);
  j.key("owner").num(fromHwnd(owner));
}

BOOL CALLBACK collect(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> topLevel() {
  std::vector<HWND> v;
  EnumWindows(collect, reinterpret_cast<LPARAM>(&v));
  return v;
}

bool isButton(HWND h) { return _wcsicmp(className(h).c_str(), L"Button") == 0; }

void cmdWindows(const std::wstring& image) {
  Json j;
  j.open('{').key("ok").boolean(true).key("windows").open('[');
  for (HWND h : topLevel()) {
    if (!imageMatches(h, image)) continue;
    j.open('{');
    windowFields(j, h);
    j.close('}');
  }
  j.close(']').close('}');
  answer(j);
}

void cmdInfo(HWND h) {
  if (!IsWindow(h)) return fail("no such window");
  Json j;
  j.open('{').key("ok").boolean(true);
  windowFields(j, h);
  j.close('}');
  answer(j);
}

void cmdWait(const std::wstring& title, long long ms, const std::wstring& image) {
  DWORD start = GetTickCount();
  for (;;) {
    for (HWND h : topLevel()) {
      if (!IsWindowVisible(h)) continue;
      wchar_t buf[1024] = {0};
      InternalGetWindowText(h, buf, 1024);
      if (title == buf && imageMatches(h, image)) return cmdInfo(h);
    }
    if (static_cast<long long>(GetTickCount() - start) >= ms) return fail("timeout");
    Sleep(20);
  }
}

void cmdGone(HWND h, long long ms) {
  DWORD start = GetTickCount();
  while (IsWindow(h)) {
    if (static_cast<long long>(GetTickCount() - start) >= ms) return fail("timeout");
    Sleep(20);
  }
  Json j;
  j.open('{').key("ok").boolean(true).close('}');
  answer(j);
}

void cmdControls(HWND top) {
  if (!IsWindow(top)) return fail("no such window");
  std::vector<HWND> all;
  EnumChildWindows(top, collect, reinterpret_cast<LPARAM>(&all));
  Json j;
  j.open('{').key("ok").boolean(true).key("controls").open('[');
  for (HWND h : all) {
    HWND parent = GetParent(h);
    RECT r = {};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    j.open('{');
    j.key("hwnd").num(fromHwnd(h));
    j.key("parent").num(fromHwnd(parent));
    j.key("id").num(GetDlgCtrlID(h));
    j.key("class").str(className(h));
    j.key("text").str(windowText(h));
    j.key("rect").rect(r);
    j.key("style").num(static_cast<unsigned long>(GetWindowLongW(h, GWL_STYLE)));
    j.key("exstyle").num(static_cast<unsigned long>(GetWindowLongW(h, GWL_EXSTYLE)));
    j.key("enabled").boolean(IsWindowEnabled(h) != 0);
    j.key("visible").boolean(IsWindowVisible(h) != 0);
    if (isButton(h)) {
      DWORD_PTR check = 0;
      SendMessageTimeoutW(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &check);
      j.key("check").num(static_cast<long long>(check));
    }
    j.close('}');
  }
  j.close(']').close('}');
  answer(j);
}

void cmdGetText(HWND h) {
  if (!IsWindow(h)) return fail("no such window");
  Json j;
  j.open('{').key("ok").boolean(true).key("text").str(windowText(h)).close('}');
  answer(j);
}

void cmdSetText(HWND h, const std::wstring& text) {
  if (!IsWindow(h)) return fail("no such window");
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                           SMTO_ABORTIFHUNG, kTimeout, &result))
    return fail("timeout");
  Json j;
  j.open('{').key("ok").boolean(true).key("result").num(static_cast<long long>(result)).close('}');
  answer(j);
}

// A user can click a control only when it, every window above it and its
// top-level window are visible and enabled (a modal window disables its owner).
const char* userCannotReach(HWND h) {
  for (HWND w = h; w; w = GetParent(w)) {
    if (!IsWindowVisible(w)) return "hidden";
    if (!IsWindowEnabled(w)) return "disabled";
    if (!(GetWindowLongW(w, GWL_STYLE) & WS_CHILD)) break;
  }
  return nullptr;
}

void cmdClick(HWND h) {
  if (!IsWindow(h)) return fail("no such window");
  if (const char* why = userCannotReach(h)) return fail(why);
  // Posted, so that a modal window opened by the click does not block us.
  // "t": the time of the click, in the clock the stand-in client logs.
  FILETIME t = {};
  GetSystemTimePreciseAsFileTime(&t);
  if (!PostMessageW(h, BM_CLICK, 0, 0)) return fail("post failed");
  Json j;
  j.open('{').key("ok").boolean(true);
  j.key("t").num(static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime));
  j.close('}');
  answer(j);
}

// ---- list views, through memory of the owning process ---------------------

class Remote {
 public:
  explicit Remote(HWND h, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    proc_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                            PROCESS_QUERY_INFORMATION,
                        FALSE, pid);
    if (proc_) mem_ = VirtualAllocEx(proc_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~Remote() {
    if (mem_) VirtualFreeEx(proc_, mem_, 0, MEM_RELEASE);
    if (proc_) CloseHandle(proc_);
  }
  Remote(const Remote&) = delete;
  Remote& operator=(const Remote&) = delete;

  bool ok() const { return mem_ != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(mem_) + offset; }
  LPARAM addr(size_t offset = 0) const { return reinterpret_cast<LPARAM>(at(offset)); }
  bool write(size_t offset, const void* data, size_t n) const {
    SIZE_T done = 0;
    return offset + n <= size_ && WriteProcessMemory(proc_, at(offset), data, n, &done) && done == n;
  }
  bool read(size_t offset, void* data, size_t n) const {
    SIZE_T done = 0;
    return offset + n <= size_ && ReadProcessMemory(proc_, at(offset), data, n, &done) && done == n;
  }

 private:
  HANDLE proc_ = nullptr;
  void* mem_ = nullptr;
  size_t size_;
};

bool sendTimeout(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result = nullptr) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, kTimeout, &r)) return false;
  if (result) *result = static_cast<LRESULT>(r);
  return true;
}

const size_t kTextChars = 1024;
const size_t kTextOffset = 512;  // the structure first, the text buffer after it
const size_t kRemoteSize = kTextOffset + kTextChars * sizeof(wchar_t);

bool itemText(HWND lv, const Remote& rm, int row, int col, std::wstring* out) {
  LVITEMW it = {};
  it.iSubItem = col;
  it.pszText = reinterpret_cast<LPWSTR>(rm.at(kTextOffset));
  it.cchTextMax = kTextChars;
  wchar_t zero = 0;
  if (!rm.write(kTextOffset, &zero, sizeof zero) || !rm.write(0, &it, sizeof it)) return false;
  LRESULT n = 0;
  if (!sendTimeout(lv, LVM_GETITEMTEXTW, row, rm.addr(), &n)) return false;
  std::vector<wchar_t> buf(kTextChars, 0);
  if (!rm.read(kTextOffset, buf.data(), kTextChars * sizeof(wchar_t))) return false;
  buf.back() = 0;
  *out = buf.data();
  return true;
}

void cmdListView(HWND lv) {
  if (!IsWindow(lv)) return fail("no such window");
  Remote rm(lv, kRemoteSize);
  if (!rm.ok()) return fail("cannot reach the process memory");
  LRESULT header = 0, columns = 0, rows = 0, exstyle = 0, selected = -1;
  if (!sendTimeout(lv, LVM_GETHEADER, 0, 0, &header)) return fail("timeout");
  if (header) sendTimeout(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &columns);
  if (columns < 0) columns = 0;
  sendTimeout(lv, LVM_GETITEMCOUNT, 0, 0, &rows);
  sendTimeout(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0, &exstyle);
  sendTimeout(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, &selected);

  Json j;
  j.open('{').key("ok").boolean(true);
  j.key("style").num(static_cast<unsigned long>(GetWindowLongW(lv, GWL_STYLE)));
  j.key("lvexstyle").num(static_cast<unsigned long>(exstyle));
  j.key("selected").num(static_cast<long long>(selected));
  j.key("columns").open('[');
  for (int c = 0; c < columns; ++c) {
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.pszText = reinterpret_cast<LPWSTR>(rm.at(kTextOffset));
    col.cchTextMax = kTextChars;
    wchar_t zero = 0;
    rm.write(kTextOffset, &zero, sizeof zero);
    rm.write(0, &col, sizeof col);
    LRESULT got = 0;
    sendTimeout(lv, LVM_GETCOLUMNW, c, rm.addr(), &got);
    LVCOLUMNW back = {};
    rm.read(0, &back, sizeof back);
    std::vector<wchar_t> buf(kTextChars, 0);
    rm.read(kTextOffset, buf.data(), kTextChars * sizeof(wchar_t));
    buf.back() = 0;
    j.open('{').key("text").str(std::wstring(buf.data()));
    j.key("width").num(back.cx).key("format").num(back.fmt).close('}');
  }
  j.close(']');
  j.key("rows").open('[');
  int textColumns = columns > 0 ? static_cast<int>(columns) : 1;
  for (int r = 0; r < rows; ++r) {
    LRESULT state = 0;
    sendTimeout(lv, LVM_GETITEMSTATE, r, LVIS_STATEIMAGEMASK | LVIS_SELECTED | LVIS_FOCUSED, &state);
    LVITEMW it = {};
    it.mask = LVIF_PARAM;
    it.iItem = r;
    rm.write(0, &it, sizeof it);
    sendTimeout(lv, LVM_GETITEMW, 0, rm.addr());
    LVITEMW back = {};
    rm.read(0, &back, sizeof back);
    j.open('{').key("texts").open('[');
    for (int c = 0; c < textColumns; ++c) {
      std::wstring t;
      if (itemText(lv, rm, r, c, &t)) j.str(t);
      else j.null();
    }
    j.close(']');
    j.key("state_image").num(static_cast<long long>(((state & LVIS_STATEIMAGEMASK) >> 12)) - 1);
    j.key("param").num(static_cast<long long>(back.lParam));
    j.key("selected").boolean((state & LVIS_SELECTED) != 0);
    j.key("focused").boolean((state & LVIS_FOCUSED) != 0);
    j.close('}');
  }
  j.close(']').close('}');
  answer(j);
}

bool setItemState(HWND lv, const Remote& rm, int row, UINT state, UINT mask) {
  LVITEMW it = {};
  it.stateMask = mask;
  it.state = state;
  if (!rm.write(0, &it, sizeof it)) return false;
  LRESULT ok = 0;
  return sendTimeout(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(row), rm.addr(), &ok) && ok;
}

// Selecting as a click does: the old selection goes, the row gets selection
// and focus and is scrolled into view.
bool selectRow(HWND lv, int row, std::string* why) {
  Remote rm(lv, kRemoteSize);
  if (!rm.ok()) return *why = "cannot reach the process memory", false;
  LRESULT rows = 0;
  sendTimeout(lv, LVM_GETITEMCOUNT, 0, 0, &rows);
  if (row >= rows) return *why = "no such row", false;
  if (!setItemState(lv, rm, -1, 0, LVIS_SELECTED)) return *why = "clearing failed", false;
  if (row < 0) return true;
  if (!setItemState(lv, rm, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED))
    return *why = "selecting failed", false;
  sendTimeout(lv, LVM_ENSUREVISIBLE, row, FALSE);
  return true;
}

void cmdSelect(HWND lv, int row) {
  if (!IsWindow(lv)) return fail("no such window");
  if (const char* why = userCannotReach(lv)) return fail(why);
  std::string why;
  if (!selectRow(lv, row, &why)) return fail(why);
  Json j;
  j.open('{').key("ok").boolean(true).close('}');
  answer(j);
}

void cmdDoubleClick(HWND lv, int row) {
  if (!IsWindow(lv)) return fail("no such window");
  if (const char* why = userCannotReach(lv)) return fail(why);
  std::string why;
  if (row < 0) return fail("no such row");
  if (!selectRow(lv, row, &why)) return fail(why);
  Remote rm(lv, kRemoteSize);
  if (!rm.ok()) return fail("cannot reach the process memory");
  RECT r = {};
  r.left = LVIR_BOUNDS;
  rm.write(0, &r, sizeof r);
  LRESULT ok = 0;
  if (!sendTimeout(lv, LVM_GETITEMRECT, row, rm.addr(), &ok) || !ok) return fail("no item rectangle");
  rm.read(0, &r, sizeof r);
  int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  LPARAM at = MAKELPARAM(x, y);
  // The first click of the pair is the selection above; posted, so that a
  // modal window opened by the double-click does not block us.
  PostMessageW(lv, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageW(lv, WM_LBUTTONUP, 0, at);
  Json j;
  j.open('{').key("ok").boolean(true).key("x").num(x).key("y").num(y).close('}');
  answer(j);
}

void cmdKey(HWND h, UINT vk) {
  if (!IsWindow(h)) return fail("no such window");
  UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  LPARAM up = down | (1u << 30) | (1u << 31);
  if (!PostMessageW(h, WM_KEYDOWN, vk, down) || !PostMessageW(h, WM_KEYUP, vk, up))
    return fail("post failed");
  Json j;
  j.open('{').key("ok").boolean(true).close('}');
  answer(j);
}

void cmdPost(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (!IsWindow(h)) return fail("no such window");
  if (!PostMessageW(h, msg, wp, lp)) return fail("post failed");
  Json j;
  j.open('{').key("ok").boolean(true).close('}');
  answer(j);
}

void cmdSend(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT ms) {
  if (!IsWindow(h)) return fail("no such window");
  DWORD_PTR result = 0;
  SetLastError(0);
  if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, ms, &result)) return fail("timeout");
  Json j;
  j.open('{').key("ok").boolean(true).key("result").num(static_cast<long long>(result)).close('}');
  answer(j);
}

void cmdFocus(HWND h) {
  if (!IsWindow(h)) return fail("no such window");
  GUITHREADINFO gi = {};
  gi.cbSize = sizeof gi;
  DWORD tid = GetWindowThreadProcessId(h, nullptr);
  if (!GetGUIThreadInfo(tid, &gi)) return fail("no thread information");
  Json j;
  j.open('{').key("ok").boolean(true);
  j.key("focus").num(fromHwnd(gi.hwndFocus)).key("active").num(fromHwnd(gi.hwndActive));
  j.key("foreground").num(fromHwnd(GetForegroundWindow()));
  j.close('}');
  answer(j);
}

void cmdScreen() {
  Json j;
  j.open('{').key("ok").boolean(true);
  j.key("width").num(GetSystemMetrics(SM_CXSCREEN)).key("height").num(GetSystemMetrics(SM_CYSCREEN));
  j.close('}');
  answer(j);
}

// Returns false on "quit".
bool dispatch(const std::vector<std::string>& t) {
  if (t.empty()) return true;
  const std::string& c = t[0];
  std::vector<long long> n(t.size(), 0);
  auto number = [&](size_t i) {
    return i < t.size() && parseInt(t[i], &n[i]);
  };
  auto needNumbers = [&](size_t count) {
    if (t.size() < count + 1) return false;
    for (size_t i = 1; i <= count; ++i)
      if (!number(i)) return false;
    return true;
  };
  std::wstring text;

  if (c == "quit") return false;
  std::wstring image;
  if (c == "windows") {
    if (t.size() > 2 || (t.size() == 2 && !parseHexText(t[1], &image))) fail("usage: windows [image-hex]");
    else cmdWindows(image);
  } else if (c == "screen") cmdScreen();
  else if (c == "wait") {
    if (t.size() < 3 || t.size() > 4 || !parseHexText(t[1], &text) || !number(2) ||
        (t.size() == 4 && !parseHexText(t[3], &image)))
      fail("usage: wait <title-hex> <ms> [image-hex]");
    else cmdWait(text, n[2], image);
  } else if (c == "settext") {
    if (t.size() != 3 || !number(1) || !parseHexText(t[2], &text)) fail("usage: settext <hwnd> <text-hex>");
    else cmdSetText(toHwnd(n[1]), text);
  } else if (c == "gone") {
    if (!needNumbers(2)) fail("usage: gone <hwnd> <ms>");
    else cmdGone(toHwnd(n[1]), n[2]);
  } else if (c == "info" || c == "controls" || c == "gettext" || c == "click" ||
             c == "listview" || c == "close" || c == "focus") {
    if (!needNumbers(1)) return fail("usage: " + c + " <hwnd>"), true;
    HWND h = toHwnd(n[1]);
    if (c == "info") cmdInfo(h);
    else if (c == "controls") cmdControls(h);
    else if (c == "gettext") cmdGetText(h);
    else if (c == "click") cmdClick(h);
    else if (c == "listview") cmdListView(h);
    else if (c == "focus") cmdFocus(h);
    else cmdPost(h, WM_CLOSE, 0, 0);
  } else if (c == "select" || c == "dblclick" || c == "key" || c == "char") {
    if (!needNumbers(2)) return fail("usage: " + c + " <hwnd> <number>"), true;
    HWND h = toHwnd(n[1]);
    if (c == "select") cmdSelect(h, static_cast<int>(n[2]));
    else if (c == "dblclick") cmdDoubleClick(h, static_cast<int>(n[2]));
    else if (c == "key") cmdKey(h, static_cast<UINT>(n[2]));
    else cmdPost(h, WM_CHAR, static_cast<WPARAM>(n[2]), 1);
  } else if (c == "post" || c == "send") {
    if (!needNumbers(4)) return fail("usage: " + c + " <hwnd> <msg> <wparam> <lparam>"), true;
    HWND h = toHwnd(n[1]);
    UINT msg = static_cast<UINT>(n[2]);
    WPARAM wp = static_cast<WPARAM>(n[3]);
    LPARAM lp = static_cast<LPARAM>(n[4]);
    if (c == "post") cmdPost(h, msg, wp, lp);
    else {
      UINT ms = kTimeout;
      if (t.size() > 5 && number(5)) ms = static_cast<UINT>(n[5]);
      cmdSend(h, msg, wp, lp, ms);
    }
  } else {
    fail("unknown command");
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // --desktop <name>: work on the windows of that desktop (for programs run
  // inside "explorer /desktop=<name>,WxH").
  if (argc == 3 && wcscmp(argv[1], L"--desktop") == 0) {
    // The desktop may still be on its way: explorer makes it when it starts.
    HDESK desk = nullptr;
    for (int tries = 0; !desk && tries < 150; ++tries) {
      desk = OpenDesktopW(argv[2], 0, FALSE, GENERIC_ALL);
      if (!desk) Sleep(100);
    }
    if (!desk || !SetThreadDesktop(desk)) {
      fail("cannot open the desktop");
      return 1;
    }
  }
  std::string line;
  int ch;
  for (;;) {
    line.clear();
    while ((ch = fgetc(stdin)) != EOF && ch != '\n') line.push_back(static_cast<char>(ch));
    if (line.empty() && ch == EOF) break;
    if (!dispatch(tokens(line))) break;
    if (ch == EOF) break;
  }
  return 0;
}
