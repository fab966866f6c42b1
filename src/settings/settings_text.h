// The settings text: the CR LF lines of servers, option markers and the
// start-up password that the settings file holds once deciphered.
#pragma once

#include <string>

#include "servers/server_list.h"

// The resolution radio group of the main window: at most one is selected.
enum class Resolution { None, FullScreen, R1024x768, R800x600 };

// The states of the main window's option controls.
struct LaunchOptions {
  bool console = false;
  bool admin = false;
  Resolution resolution = Resolution::None;
  bool operator==(const LaunchOptions& o) const {
    return console == o.console && admin == o.admin && resolution == o.resolution;
  }
};

// Every piece between a start marker and the next end marker (searched from
// the start marker itself), joined by "||". A start marker without an end
// marker after it empties the result.
std::string extractBetween(const std::string& text, const std::string& start,
                           const std::string& end);

// The start-up password held by deciphered settings bytes: the text between
// "#LoadinPass:<" and ">"; empty when there is none.
std::string startupPasswordFrom(const std::string& settingsBytes);

// Parses deciphered settings bytes: appends one entry (status 3) per line with
// at least three "|"-separated fields, and sets (never clears) the options for
// the marker lines. options comes in with the states the window created.
void applySettingsText(const std::string& settingsBytes, ServerList& list, LaunchOptions& options);

// The settings text as the program writes it: server lines, "#onsole:1",
// "#admin:1", "#Start:1"/"#Start:0", "#LoadinPass:<password>", each ending CR LF.
std::string buildSettingsText(const ServerList& list, const LaunchOptions& options,
                              const std::string& startupPassword);
