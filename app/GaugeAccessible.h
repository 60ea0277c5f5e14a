// Lets assistive technology read the gauge as a progress bar with a value and a range.
#pragma once

namespace orvane {

void InstallGaugeAccessibleFactory();

} // namespace orvane
