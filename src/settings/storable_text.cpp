// Tests of texts against the settings file's separators and markers, with the
// text rules of code page 936.
#include "settings/storable_text.h"

#include <initializer_list>

#include "text/text.h"

namespace {

bool holdsAny(const std::string& text, std::initializer_list<const char*> markers) {
  for (const char* marker : markers)
    if (findText(text, marker, 1) != 0) return true;
  return false;
}

}  // namespace

bool serverTextsAreStorable(const std::string& address, const std::string& port,
                            const std::string& account, const std::string& password,
                            const std::string& remark) {
  for (const std::string* text : {&address, &port, &account, &password, &remark})
    if (holdsAny(*text, {"|", "\r", "\n", "#onsole:", "#admin:", "#Start:", "#LoadinPass:<"}))
      return false;
  return true;
}

bool startupPasswordIsStorable(const std::string& password) {
  return !holdsAny(password, {">", "|", "#LoadinPass:<"});
}
