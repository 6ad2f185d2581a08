#include "pitches/PitchLookup.h"

#include "store/ResultSet.h"

#include <algorithm>
#include <utility>

namespace velk::pitches
{

namespace
{

/// True when the text has exactly `length` characters and ends in `mark` (which is ASCII and therefore
/// never part of a longer character).
bool hasShapeAndMark(std::string_view spelling, std::size_t length, std::string_view mark)
{
    const auto end = spelling.find('\0');
    if (end != std::string_view::npos) {
        spelling = spelling.substr(0, end);
    }
    return spelling.size() >= mark.size() && spelling.substr(spelling.size() - mark.size()) == mark
        && codePointCount(spelling) == length;
}

} // namespace

PitchLookup::PitchLookup(std::vector<Pitch> pitches)
    : m_pitches(std::move(pitches))
{
    std::stable_sort(m_pitches.begin(), m_pitches.end(), [](const Pitch& a, const Pitch& b) { return a.id < b.id; });
}

PitchLookup PitchLookup::load(store::Connection& connection)
{
    store::ResultSet rows = connection.query("select * from tblPitchLookup order by iPitchID");
    std::vector<Pitch> pitches;
    pitches.reserve(rows.recordCount());
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        Pitch pitch {static_cast<std::int32_t>(rows.field("iPitchID").toInt64()), std::nullopt,
                     rows.field("txtVelkFont").toText()};
        const store::Value& spelling = rows.field("txtPitch");
        if (!spelling.isNull()) {
            pitch.spelling = spelling.toText();
        }
        pitches.push_back(std::move(pitch));
    }
    return PitchLookup(std::move(pitches));
}

const Pitch* PitchLookup::find(std::string_view text) const
{
    for (const Pitch& pitch : m_pitches) {
        const std::string_view spelling = pitch.spelling ? std::string_view(*pitch.spelling) : std::string_view();
        if (spelling == text) {
            return &pitch;
        }
    }
    return nullptr;
}

const Pitch* PitchLookup::byId(std::int32_t id) const
{
    const auto it = std::lower_bound(m_pitches.begin(), m_pitches.end(), id,
                                     [](const Pitch& pitch, std::int32_t value) { return pitch.id < value; });
    return it != m_pitches.end() && it->id == id ? &*it : nullptr;
}

const std::vector<Pitch>& PitchLookup::pitches() const
{
    return m_pitches;
}

bool PitchLookup::empty() const
{
    return m_pitches.empty();
}

std::vector<std::string_view> splitAtBlanks(std::string_view text)
{
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !isBlank(text[end])) {
            ++end;
        }
        parts.push_back(text.substr(i, end - i));
        i = end;
    }
    return parts;
}

std::size_t codePointCount(std::string_view utf8)
{
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < utf8.size() && utf8[i] != '\0') {
        const auto lead = static_cast<unsigned char>(utf8[i++]);
        if (lead >= 0xC0) {
            while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) {
                ++i;
            }
        }
        ++count;
    }
    return count;
}

bool isSharpSpelling(std::string_view spelling)
{
    return hasShapeAndMark(spelling, 2, "*") || hasShapeAndMark(spelling, 3, "**");
}

bool isFlatSpelling(std::string_view spelling)
{
    return hasShapeAndMark(spelling, 2, "/") || hasShapeAndMark(spelling, 3, "//");
}

} // namespace velk::pitches
