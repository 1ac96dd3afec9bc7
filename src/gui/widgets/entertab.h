#pragma once

#include <functional>

class QWidget;

// Enter (and keypad Enter) moves the focus on as Tab does, in every control
// of the window; no control ever receives it, so no button is pressed by it.
// Alt+Enter is left alone. `focusNext` is the window's focusNextChild, which
// only the window may call.
void InstallEnterAsTab(QWidget* window, std::function<void()> focusNext);
