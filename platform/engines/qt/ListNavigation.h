#pragma once

// Internal to the Qt engine: Enter or a double-click from a record's line to
// its other line, Alt+Left and Backspace back, typed positions, and each
// list's counts on its frame and in its description.

#include "platform/Form.h"

#include <QKeyEvent>
#include <QListView>
#include <QWidget>

namespace platform {

// True for a key that the list's navigation took: Enter, Alt+Left,
// Backspace or a digit, in a list that the program gave its places.
bool NavigateByKey(QListView& view, const ListBox& lines, const QKeyEvent& event);

// A double-click on a line does what Enter does.
void FollowOnDoubleClick(QListView& view, const ListBox& lines);

// Each frame's tooltip, and its list's accessible description after what
// the list shows, tell what the list holds in counts.
void ShowCounts(const Form& form, QWidget& window);

} // namespace platform
