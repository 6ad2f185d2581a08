#include "store/ReferenceData.h"

#include <array>

namespace velk::store
{

namespace
{

struct Accidental
{
    const char* mark; ///< as typed
    const char* glyph; ///< as drawn after the letter
    int semitones;
};

// In ascending order, so that iPitchID runs from the double flat to the double sharp of each letter.
constexpr std::array<Accidental, 5> kAccidentals = {{
    {"//", "\xF0\x9D\x84\xAB", -2}, // U+1D12B double flat
    {"/", "\xE2\x99\xAD", -1}, // U+266D flat
    {"", "", 0},
    {"*", "\xE2\x99\xAF", 1}, // U+266F sharp
    {"**", "\xF0\x9D\x84\xAA", 2}, // U+1D12A double sharp
}};

struct Letter
{
    char name;
    int semitone;
};

constexpr std::array<Letter, 7> kLetters = {{{'c', 0}, {'d', 2}, {'e', 4}, {'f', 5}, {'g', 7}, {'a', 9}, {'b', 11}}};

// The pitch standing for each class in the class tabulation: the natural, or the usual name of a black key.
constexpr std::array<const char*, 12> kClassRepresentatives
    = {"c", "c*", "d", "e/", "e", "f", "f*", "g", "a/", "a", "b/", "b"};

std::vector<ReferencePitch> buildPitches()
{
    std::vector<ReferencePitch> pitches;
    std::int32_t id = 1;
    for (const bool lowerRegister : {true, false}) {
        for (const Letter& letter : kLetters) {
            const char name = lowerRegister ? static_cast<char>(letter.name - 'a' + 'A') : letter.name;
            for (const Accidental& accidental : kAccidentals) {
                const int semitone = ((letter.semitone + accidental.semitones) % 12 + 12) % 12;
                pitches.push_back({id++, std::string(1, name) + accidental.mark,
                                   std::string(1, name) + accidental.glyph, semitone + 1});
            }
        }
    }
    return pitches;
}

std::vector<ReferenceClass> buildClasses()
{
    std::vector<ReferenceClass> classes;
    const auto& pitches = referencePitches();
    for (std::size_t i = 0; i < kClassRepresentatives.size(); ++i) {
        for (const ReferencePitch& pitch : pitches) {
            if (pitch.spelling == kClassRepresentatives[i]) {
                classes.push_back({static_cast<std::int32_t>(i + 1), pitch.id});
            }
        }
    }
    return classes;
}

} // namespace

const ReferencePitch* referencePitchOf(const std::string& spelling)
{
    for (const ReferencePitch& pitch : referencePitches()) {
        if (pitch.spelling == spelling) {
            return &pitch;
        }
    }
    return nullptr;
}

const std::vector<ReferencePitch>& referencePitches()
{
    static const std::vector<ReferencePitch> pitches = buildPitches();
    return pitches;
}

const std::vector<ReferenceClass>& referenceClasses()
{
    static const std::vector<ReferenceClass> classes = buildClasses();
    return classes;
}

void insertReferenceData(Connection& connection)
{
    Transaction transaction(connection);
    for (const ReferencePitch& pitch : referencePitches()) {
        connection.execute("INSERT INTO tblPitchLookup (iPitchID, txtPitch, txtVelkFont) VALUES (?, ?, ?)",
                           {Value(pitch.id), Value(pitch.spelling), Value(pitch.glyph)});
    }
    for (const ReferenceClass& pitchClass : referenceClasses()) {
        connection.execute("INSERT INTO tblClassLookup (iClassID, iPitchID, iSemitone) VALUES (?, ?, ?)",
                           {Value(pitchClass.id), Value(pitchClass.pitchId), Value(pitchClass.id - 1)});
    }
    for (const ReferencePitch& pitch : referencePitches()) {
        connection.execute("INSERT INTO tblPitchClassJoin (iPitchID, iClassID) VALUES (?, ?)",
                           {Value(pitch.id), Value(pitch.classId)});
    }
    // The class rows just written mark the melody index as behind; with no sequence stored yet, its empty index is
    // current.
    const bool tracked = connection
                             .query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = "
                                    "'tblMelodyIndexPending' COLLATE NOCASE")
                             .recordCount()
        > 0;
    if (tracked) {
        connection.execute("DELETE FROM tblMelodyIndexPending WHERE NOT EXISTS (SELECT 1 FROM tblMovementPitchJoin)");
    }
    transaction.commit();
}

} // namespace velk::store
