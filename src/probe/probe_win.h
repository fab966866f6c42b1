// The status probe on Windows: one worker thread per row, each with its own
// socket, started from a starter thread so the GUI keeps answering.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "servers/server_list.h"

// Sent (not posted) by a worker to the main window: wParam = item number,
// lParam = 1 online / 0 offline. The window updates row item - 1 (state image,
// then the status column) and returns; the worker waits for that.
constexpr UINT WM_PROBE_RESULT = WM_APP + 1;

// WSAStartup(1.1) once; WSACleanup at exit.
void startNetwork();
void stopNetwork();

// Starts one worker per item 1..rowCount, in order, and returns at once. The
// workers share ownership of the list, so no worker touches released state.
void startStatusProbe(std::shared_ptr<ServerList> list, std::int32_t rowCount, HWND mainWindow);

// From now on workers drop their results and never send to the window.
void markMainWindowClosing();
