// The two start-up password windows: the gate asked at start, and the window
// that sets, changes or clears the start-up password.
#pragma once

// The gate, opened modally at start when a start-up password is set. The
// right password sets StartGranted; its cancel button ends the program.
void openPasswordCheckWindow();
// Opened modally by the main window's "启动密码" button.
void openPasswordSetupWindow();
