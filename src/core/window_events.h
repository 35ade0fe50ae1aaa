// What the window does with each event it receives (close, focus, keys).
#pragma once

#include "platform/platform.h"

namespace quarvel {

void dispatch_window_event(const platform::Event& event);

// The pause rule: the caption shows " <pause>" and the frame loop holds
// while the window is inactive (not in debug mode, only with auto-pause).
void window_activated(bool active);
// Alt+Enter: fullscreen on or off through the window's own switch.
void toggle_fullscreen();
// Puts the window in the mode of settings.fullscreen and hands the window
// to the input and sound devices (set_screen's path, also Alt+Enter's).
void apply_window_mode();

}  // namespace quarvel
