// The status probe on Windows: one worker thread per row, each with its own
// socket, started from a starter thread so the GUI keeps answering.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "servers/server_list.h"

// Posted to the main window when probe results are waiting to be shown (one
// message for however many have come meanwhile); the window answers it with
// showProbeResults. The workers wait until their rows are done.
constexpr UINT WM_PROBE_RESULT = WM_APP + 1;

// WSAStartup(1.1) once; WSACleanup at exit.
void startNetwork();
void stopNetwork();

// Starts one worker per item 1..rowCount, in order, and returns at once. The
// workers share ownership of the list, so no worker touches released state.
void startStatusProbe(std::shared_ptr<ServerList> list, std::int32_t rowCount, HWND mainWindow);

// On the GUI thread: shows every waiting result with show(item, online)
// (row item - 1: state image, then the status column), in the order they
// came, and lets their workers go. Returns how many were shown.
std::size_t showProbeResults(void (*show)(std::int32_t item, bool online));

// From now on workers drop their results and never post to the window;
// workers waiting for their rows are let go.
void markMainWindowClosing();
