// Bringing a window to the front with the keyboard focus, also where the window manager would
// otherwise refuse an application's own request.
#pragma once

class QWidget;

namespace quiblo {

// Raises and activates `window`; on X11 it also asks the window manager for the focus as a
// pager or a task bar does, which window managers grant without focus-stealing checks.
void activateWithFocus(QWidget* window);

// Activates the window when it goes out of scope: at the end of a command, on every path.
class ActivateWhenDone {
public:
    explicit ActivateWhenDone(QWidget* window) : window_(window) {}
    ~ActivateWhenDone() { activateWithFocus(window_); }
    ActivateWhenDone(const ActivateWhenDone&) = delete;
    ActivateWhenDone& operator=(const ActivateWhenDone&) = delete;

private:
    QWidget* window_;
};

}  // namespace quiblo
