#pragma once

#include "store/Connection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velk::store
{

/// One pitch of the vocabulary as a new catalogue holds it.
struct ReferencePitch
{
    std::int32_t id;
    std::string spelling; ///< txtPitch: note letter (capital = lower register), then "*", "**", "/" or "//"
    std::string glyph; ///< txtVelkFont: the text drawn in the pitch font
    std::int32_t classId; ///< the pitch class, 1 (C) to 12 (B)
};

struct ReferenceClass
{
    std::int32_t id; ///< 1 (C) to 12 (B); its iSemitone is id - 1
    std::int32_t pitchId; ///< the pitch whose glyph stands for the class
};

/// The pitch vocabulary of a new catalogue, in ascending iPitchID.
const std::vector<ReferencePitch>& referencePitches();
/// The twelve pitch classes.
const std::vector<ReferenceClass>& referenceClasses();

/// The pitch of the vocabulary with this spelling (matched exactly), or null when the spelling does not follow the
/// scheme. Its glyph text and its class (classId - 1 semitones above C) are what a spelling means to Velk.
const ReferencePitch* referencePitchOf(const std::string& spelling);

/// Writes tblPitchLookup, tblClassLookup and tblPitchClassJoin of a new catalogue in one transaction.
void insertReferenceData(Connection& connection);

} // namespace velk::store
