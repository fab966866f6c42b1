// Reading and writing the settings file "ms.ini" in the current directory
// (the program's own folder).
#pragma once

// Reads and deciphers the whole file once, keeps the bytes and takes the
// start-up password out of them. A missing or unreadable file is empty;
// a file that is there but could not be read is never overwritten by the save.
void loadSettings();

// Builds, enciphers and writes the settings. The text goes to a temporary file
// in the same folder that then replaces "ms.ini" in one step, so a failed or
// interrupted save leaves the previous file whole. Failures are silent.
void saveSettings();
