#pragma once

#include <QWidget>
#include <string>

namespace vx {

// Each tool's window opens where the last one of its tool closed, in an earlier
// run too: its position, its size and its preview's zoom, kept in the settings
// (ProgramSettings::Windows) under the tool's key.

// Puts `window`, before it is shown, where the last window of tool `key` was
// (FitOnScreen once it is shown keeps all of it inside the screen). False when
// none has closed yet (nothing changed).
bool RestorePlace(QWidget* window, const std::string& key);

// After the window is shown: records its place under `key` each time it is closed
// or hidden.
void KeepPlace(QWidget* window, const std::string& key);

// Records the places of the windows of `owner` (its children) that keep one and
// are open now, as when the program ends with them open.
void RememberOpenPlaces(QWidget* owner);

}  // namespace vx
