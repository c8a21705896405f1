// Key presses as the windows' key handlers take them: the character code a
// key stands for, as the console's windows were designed around.
#pragma once

class QKeyEvent;

namespace travik {

// The character code a key press stands for (8 backspace, 9 tab, 13 Enter,
// 17 Ctrl+Q ...), or -1 for keys that type no character (arrows, F-keys).
int keyAsciiOf(const QKeyEvent& event);

}  // namespace travik
