// Where a platform's file sends the frames (rvx::exportSite), from a target of the bus: for
// the command line's --export and the site window's Export, which both name the target as the
// bus does.
#pragma once

#include "rvx/bus.h"
#include "rvx/site_export.h"

namespace rvx::bus {

// The target, and for a serial port the line of the settings.
[[nodiscard]] rvx::SiteTarget siteTargetOf(const Target& target, const Settings& settings);

}  // namespace rvx::bus
