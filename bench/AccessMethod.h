// The file-access method a run drives, in the order of the window's radio items.
#pragma once

namespace orvane {

enum class TAccessMethod { amFile = 0, amMmio = 1, amWin32 = 2 };

} // namespace orvane
