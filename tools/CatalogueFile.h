#pragma once

#include "store/Connection.h"
#include "store/Value.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velk::tools
{

/// Creates a catalogue file with the schema and the reference data, then lets fill add to it. The file is built
/// beside its final name and moved there only when complete, so a failure leaves no half-made catalogue and an
/// existing file stays untouched. An existing file is replaced only when replace is true; otherwise it is an
/// error. Without referenceData the pitch tables are left empty for fill to write. Throws store::StoreError with a
/// finished message; whatever fill throws passes through, with nothing left behind.
void createCatalogueFile(const std::string& file,
                         bool replace,
                         const std::function<void(store::Connection&)>& fill = {},
                         bool referenceData = true);

/// Why no file can be made in the folder of target (an absolute path), as the end of a sentence; nothing when
/// one can, as far as can be told beforehand.
std::optional<std::string> folderProblem(const std::filesystem::path& target);

/// Adds one movement with its sequence to a catalogue being filled. values are, in this order: iKTN, iMvmt, iOrder,
/// txtComposed, iLength, i12in, strOpeningKey, strClosingKey, chkSoprano, chkAlto, chkTenor, chkBass,
/// chkAccompanied, Sub1 to Sub6, Description, txtComments, Deviation. Returns the new iMovementID.
std::int64_t insertMovementWithSequence(store::Connection& connection,
                                        const std::vector<store::Value>& values,
                                        const std::vector<std::int32_t>& pitchIds);

} // namespace velk::tools
