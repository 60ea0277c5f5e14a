// The file-access method a run drives: its index in the list of methods, which is the
// order of the window's radio items.
#pragma once

namespace orvane {

enum class TAccessMethod : int { amFile = 0, amMmio = 1, amWin32 = 2 };

} // namespace orvane
