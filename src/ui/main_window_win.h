// The main window: the banner, the server list with its reachability, the
// five commands, the launch options and the remark of the selected server.
#pragma once

#include <windows.h>

#include <cstdint>

#include "settings/settings_text.h"

// Opens the main window non-modally; onMainWindowCreated runs before it returns.
HWND openMainWindow();
// The main window while it exists, else null.
HWND mainWindow();

// The states of the option controls (console, admin, resolution group).
LaunchOptions readLaunchOptions();
void writeLaunchOptions(const LaunchOptions& options);

// Rebuilds every row of the list view from the server list.
void refillListView();
// The item value of the first selected row; 0 when no row is selected.
std::int32_t selectedItemNumber();

void onMainWindowCreated(HWND window);
void onMainWindowCanClose();

void connectSelected();
void addServer();
void modifySelectedServer();
void deleteSelectedServer();
void openPasswordSetup();
void onFocusedRowChanged();

// The selection message shared by the commands that need a selected server.
void showSelectionMessage();
