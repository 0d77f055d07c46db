// Which stored paths may be written below a target folder: an entry whose path could reach
// outside the target folder, names a device or a name Windows cannot hold is refused and never
// written. The rules are shared with packing (format/entry_path.h).
#pragma once

#include "format/entry_path.h"

namespace tarvik::unpack {

using format::is_device_name;
using format::is_safe_relative_path;

}  // namespace tarvik::unpack
