// A small window toolkit over Win32: each window is described by a table of
// its controls (kind, id, parent, position, size, text) in pixels, made by one
// builder, and driven by plain handler functions. It also owns the message
// loop with the program's keyboard rules (Esc closes a window as its close box
// does; Enter clicks the window's enabled default button unless the focus is
// in a multi-line editable box; Tab moves between tab stops), modal opening,
// and message boxes (no owner, task-modal).
#pragma once

#include <windows.h>

#include <cstddef>

enum class ControlKind {
  Label,         // one line, left-aligned, vertically centred
  RightLabel,    // one line, right-aligned, vertically centred
  TopLabel,      // left-aligned text from the top
  Hyperlink,     // centred one-line text, blue and underlined; clicks reach the command handler
  GroupBox,      // holds controls of its own
  ListView,      // report view
  Button,
  DefaultButton,
  Edit,                  // single line
  PasswordEdit,          // single line, every character shown as "*"
  MultiLineEdit,         // editable, Enter starts a new line, no scroll bars
  ReadOnlyMultiLineEdit, // no scroll bars, black on white
  CheckBox,
  RadioButton,  // the first of a group carries WS_GROUP through firstOfGroup
  PictureBox,   // draws its picture at the top-left corner, unscaled
};

enum class FontKind {
  Gui,             // the system's default GUI font
  Song12,          // "宋体", character height 12 pixels
  Song12Underline, // the same, underlined
  Song16Bold,      // "宋体", bold, character height 16 pixels
};

struct ControlSpec {
  int id;
  ControlKind kind;
  int parent;  // 0: the window itself; otherwise the id of a group box above in the table
  int x, y, width, height;
  const wchar_t* text;
  FontKind font = FontKind::Gui;
  COLORREF textColor = CLR_INVALID;  // CLR_INVALID: the system colour
  bool sunkenEdge = false;           // thin sunken edge (picture boxes)
  bool disabled = false;
  bool firstOfGroup = false;
};

struct WindowBehaviour {
  // After every control exists, before the window is shown.
  void (*created)(HWND window) = nullptr;
  // A button clicked, a hyperlink clicked, an edit notification...
  void (*command)(HWND window, int id, int code) = nullptr;
  // WM_NOTIFY from a control; the result is returned to it.
  LRESULT (*notify)(HWND window, NMHDR* header) = nullptr;
  // A close request (close box, system menu, Alt+F4, Esc). The toolkit destroys
  // the window afterwards unless this returns false.
  bool (*closeRequested)(HWND window) = nullptr;
  // Any other message; set handled to answer it.
  LRESULT (*message)(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) = nullptr;
};

struct WindowSpec {
  const wchar_t* title;
  int outerWidth, outerHeight;  // frame and title bar included
  bool minimizeBox;
  int defaultButton;  // id of the button that Enter clicks; 0 for none
  const ControlSpec* controls;
  std::size_t controlCount;
  WindowBehaviour behaviour;
};

template <std::size_t N>
constexpr std::size_t countOf(const ControlSpec (&)[N]) {
  return N;
}

// Registers the window class and the common controls. Call once at start.
bool initWindowKit();

// Makes the window hidden, builds its controls, centres it on the screen, runs
// its created handler and shows it. Returns null when the window cannot be made.
HWND openWindow(const WindowSpec& spec);

// openWindow, then waits until the window has been destroyed; every other
// window of the program takes no input meanwhile.
void openModal(const WindowSpec& spec);

// Destroys a window of the toolkit (modal or not), giving back input to the
// windows below it.
void closeWindow(HWND window);

// A control of the window by its id, wherever it sits in the window.
HWND controlOf(HWND window, int id);

// Sets the picture a picture box draws (a bitmap or an icon; the toolkit does
// not take ownership).
void setPictureBitmap(HWND window, int id, HBITMAP bitmap);
void setPictureIcon(HWND window, int id, HICON icon);

// Number of toolkit windows that exist now.
int openWindowCount();

// Runs the message loop until the quit message (posted when the last window
// of the program is destroyed once endWhenNoWindowLeft() has been called).
void runMessageLoop();
// From now on, the destruction of the last window ends the message loop.
void endWhenNoWindowLeft();

// A message box with no owner window, task-modal.
int showMessage(const wchar_t* text, const wchar_t* title, UINT typeAndIcon);
