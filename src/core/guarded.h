#pragma once

#include <functional>

#include "core/message_boxes.h"

namespace orvet {

// Runs a command's `action`; an error it raises (a refused value, a store or file failure)
// is shown in an error box with its text and the program goes on. Returns false then.
// Every error of the program carries its user-facing text, UTF-8, in what().
bool guarded(MessageBoxes& messages, const std::function<void()>& action);

}  // namespace orvet
