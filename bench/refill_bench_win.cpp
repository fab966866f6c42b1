// Benchmark of the list refill: the real main window is opened on a settings
// text of 10,000 servers, as the program's start does, then refillListView()
// is timed several times. The same rows put into a bare report-view list
// (four columns, redraw off) in the same process give the floor: what the
// list view itself costs.
//
// Every server has an empty address, so each probe worker fails at once
// without touching the network. The probe is stopped right after the window
// opens (as a closing window stops it) and the timing starts once the
// workers already started have ended, so that none competes with the refills;
// starting 10,000 workers would take the better part of a minute here.
//
// The floor is given twice: the bare list, and the bare list with what the
// program's list adds (state images, full-row select, grid lines), so that a
// gap between refill and floor can be put on the list's features or on the
// refill's own code.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/program_state.h"
#include "probe/probe_win.h"
#include "ui/control_ids.h"
#include "ui/main_window_win.h"
#include "ui/window_kit_win.h"

namespace {

constexpr int kServers = 10000;
constexpr int kRuns = 9;

std::string makeSettingsText(int servers) {
  std::string text;
  for (int n = 0; n < servers; ++n) {
    text += "|3389|Administrator|P@ssw0rd-" + std::to_string(n * 7919 % 100000);
    text += "|机房" + std::to_string(n % 40) + "号服务器\r\n";
  }
  text += "#onsole:1\r\n#admin:1\r\n#Start:1\r\n";
  return text;
}

void pumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

LARGE_INTEGER now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

double msBetween(LARGE_INTEGER a, LARGE_INTEGER b) {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  return static_cast<double>(b.QuadPart - a.QuadPart) * 1e3 / static_cast<double>(freq.QuadPart);
}

std::wstring rowText(HWND list, int row, int column) {
  wchar_t buf[64] = {0};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = 64;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buf;
}

// Rows still showing no result.
int pendingRows(HWND list) {
  int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  int pending = 0;
  for (int r = 0; r < rows; ++r)
    if (rowText(list, r, 3) == L"...") ++pending;
  return pending;
}

struct Figures {
  double median = 0, minimum = 0;
};

Figures summarise(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.front()};
}

template <typename Work>
Figures timeRuns(Work work) {
  std::vector<double> times;
  for (int r = 0; r < kRuns; ++r) {
    pumpMessages();
    LARGE_INTEGER begin = now();
    work();
    times.push_back(msBetween(begin, now()));
    pumpMessages();
  }
  return summarise(times);
}

struct Row {
  std::wstring texts[4];
};

LRESULT CALLBACK plainWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(h, msg, wp, lp);
}

// The bare list view: the same rows, the same way in, nothing else (with
// states: a state image on each row, as the refill sets).
void fillBareList(HWND list, const std::vector<Row>& rows, bool states) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
  for (size_t k = 0; k < rows.size(); ++k) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | (states ? LVIF_STATE : 0);
    item.iItem = static_cast<int>(k);
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(2);
    item.pszText = const_cast<wchar_t*>(rows[k].texts[0].c_str());
    item.lParam = static_cast<LPARAM>(k + 1);
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    for (int c = 1; c < 4; ++c) {
      LVITEMW sub{};
      sub.iSubItem = c;
      sub.pszText = const_cast<wchar_t*>(rows[k].texts[c].c_str());
      SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
    }
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

int fail(const char* what) {
  std::printf("error: %s\n", what);
  return 1;
}

}  // namespace

int wmain() {
  ProgramState& state = programState();
  state.servers = std::make_shared<ServerList>();
  state.settingsBytes = makeSettingsText(kServers);
  if (!initWindowKit()) return fail("window toolkit");

  LARGE_INTEGER opening = now();
  HWND window = openMainWindow();
  LARGE_INTEGER opened = now();
  if (!window) return fail("main window");
  HWND list = controlOf(window, main_ids::超级列表框1);
  int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  if (rows != kServers) {
    std::printf("error: the list holds %d rows, not %d\n", rows, kServers);
    return 1;
  }
  std::printf("main window opened with %d rows in %.1f ms (parse, fill, probe start)\n", rows,
              msBetween(opening, opened));

  // No more workers; those already started drop their results. Then wait
  // until the count of rows with a result stays put.
  markMainWindowClosing();
  int pending = pendingRows(list), before = -1;
  for (int quiet = 0; quiet < 5;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    pumpMessages();
    before = pending;
    pending = pendingRows(list);
    quiet = pending == before ? quiet + 1 : 0;
  }
  std::printf("probe stopped: %d of %d rows got a result before\n", rows - pending, rows);

  Figures refill = timeRuns([] { refillListView(); });
  if (SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) != kServers) return fail("refill lost rows");

  // The same texts the refill shows, for the bare list.
  std::vector<Row> texts(kServers);
  for (int r = 0; r < kServers; ++r)
    for (int c = 0; c < 4; ++c) texts[r].texts[c] = rowText(list, r, c);

  WNDCLASSW wc{};
  wc.lpfnWndProc = plainWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"refill_bench_frame";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassW(&wc);
  RECT r{};
  GetClientRect(list, &r);
  HWND frame = CreateWindowExW(0, wc.lpszClassName, L"bare list", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               0, 0, r.right + 40, r.bottom + 60, nullptr, nullptr, wc.hInstance,
                               nullptr);
  if (!frame) return fail("frame window");
  auto makeList = [&](bool states) {
    HWND lv = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0,
                              r.right, r.bottom, frame, nullptr, wc.hInstance, nullptr);
    if (!lv) return lv;
    for (int c = 0; c < 4; ++c) {
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      column.cx = 100;
      column.pszText = const_cast<wchar_t*>(L"column");
      column.iSubItem = c;
      SendMessageW(lv, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    if (states) {
      SendMessageW(lv, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                   LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
      HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24, 3, 0);
      HDC screen = GetDC(nullptr);
      HBITMAP picture = CreateCompatibleBitmap(screen, 16 * 3, 16);
      ReleaseDC(nullptr, screen);
      ImageList_Add(images, picture, nullptr);
      DeleteObject(picture);
      SendMessageW(lv, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images));
    }
    return lv;
  };
  HWND bare = makeList(false);
  if (!bare) return fail("bare list view");
  Figures floor = timeRuns([&] { fillBareList(bare, texts, false); });
  if (SendMessageW(bare, LVM_GETITEMCOUNT, 0, 0) != kServers) return fail("bare fill lost rows");
  DestroyWindow(bare);
  HWND styled = makeList(true);
  if (!styled) return fail("list view with state images");
  Figures styledFloor = timeRuns([&] { fillBareList(styled, texts, true); });
  if (SendMessageW(styled, LVM_GETITEMCOUNT, 0, 0) != kServers) return fail("styled fill lost rows");

  std::printf("refill %d rows: median %.1f ms, min %.1f ms (%d runs)\n", kServers, refill.median,
              refill.minimum, kRuns);
  std::printf("bare list view %d rows: median %.1f ms, min %.1f ms (%d runs)\n", kServers,
              floor.median, floor.minimum, kRuns);
  std::printf("list view with state images %d rows: median %.1f ms, min %.1f ms (%d runs)\n",
              kServers, styledFloor.median, styledFloor.minimum, kRuns);
  std::printf("refill / bare: %.2f   refill / with state images: %.2f\n",
              refill.median / floor.median, refill.median / styledFloor.median);
  std::fflush(stdout);

  DestroyWindow(frame);
  closeWindow(window);
  pumpMessages();
  return 0;
}
