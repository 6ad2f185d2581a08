#pragma once

#include "store/Result.h"

#include <string>
#include <string_view>

namespace velk::exchange
{

/// Writes bytes to a file in full or not at all: they go to a new file beside it, which then takes its name, so a
/// failed write (a full disk, a folder that cannot be written) leaves whatever the name held before. A link to a file
/// stays a link, its file gets the bytes; a name that is no file of its own (a terminal, a pipe, a device such as
/// /dev/stdout) is written to as it stands and never replaced. The failure's message names the file and what went
/// wrong.
store::Result<> writeOutputFile(const std::string& path, std::string_view bytes);

} // namespace velk::exchange
