#pragma once

#include "store/Connection.h"

#include <functional>
#include <string>

namespace velk::tools
{

/// Creates a catalogue file with the schema and the reference data, then lets fill add to it. The file is built
/// beside its final name and moved there only when complete, so a failure leaves no half-made catalogue and an
/// existing file stays untouched. An existing file is replaced only when replace is true; otherwise it is an
/// error. Throws store::StoreError with a finished message.
void createCatalogueFile(const std::string& file,
                         bool replace,
                         const std::function<void(store::Connection&)>& fill = {});

} // namespace velk::tools
