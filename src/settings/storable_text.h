// Which texts survive a save and the next start. The settings file has no
// escape, so a field holding "|" or a line break, or a marker of the file,
// would come back changed (fields shift, phantom servers, options change), and
// a start-up password holding ">" would lock its owner out. The windows that
// take such texts refuse them with these tests.
#pragma once

#include <string>

// True when none of the five texts of a server holds "|", CR, LF or one of
// "#onsole:", "#admin:", "#Start:", "#LoadinPass:<" (two-byte characters are
// stepped over: their second byte never counts as "|").
bool serverTextsAreStorable(const std::string& address, const std::string& port,
                            const std::string& account, const std::string& password,
                            const std::string& remark);

// True when the start-up password holds none of ">", "|" or "#LoadinPass:<".
bool startupPasswordIsStorable(const std::string& password);
