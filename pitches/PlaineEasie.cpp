#include "pitches/PlaineEasie.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <utility>

namespace velk::pitches
{
namespace
{

constexpr const char* kCode = "The Plaine & Easie Code";

/// A fault of the text, carrying its finished message; it never leaves this file.
class PaeFault : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fault(const std::string& message)
{
    throw PaeFault(kCode + (" " + message));
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

constexpr std::string_view kLetters = "CDEFGAB";

/// The letter's place from C (0) to B (6); -1 for any other character.
int letterIndex(char c)
{
    const auto found = kLetters.find(c);
    return found == std::string_view::npos ? -1 : static_cast<int>(found);
}

/// The octave marks of an octave: ' for octave 4, '' for 5, , for 3, ,, for 2 and so on.
std::string octaveMarks(int octave)
{
    return octave >= 4 ? std::string(static_cast<std::size_t>(octave - 3), '\'')
                       : std::string(static_cast<std::size_t>(std::max(4 - octave, 0)), ',');
}

std::string accidentalSign(int alter)
{
    switch (alter) {
    case -2:
        return "bb";
    case -1:
        return "b";
    case 1:
        return "x";
    case 2:
        return "xx";
    default:
        return "n";
    }
}

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

// -------------------------------------------------------------------------------------------------------------
// Staff definitions

void checkClef(std::string_view clef)
{
    const bool valid = clef.size() == 3 && std::string_view("GgCF").find(clef[0]) != std::string_view::npos
        && std::string_view("-+*:").find(clef[1]) != std::string_view::npos && clef[2] >= '1' && clef[2] <= '5';
    if (!valid) {
        fault("has the clef " + quoted(clef)
              + ": a clef is a shape (G, g, C or F), then -, +, * or :, then its line from 1 to 5, as in G-2.");
    }
}

/// The alteration of each letter (C to B) by a key signature.
using KeyAlterations = std::array<int, 7>;

KeyAlterations readKeySignature(std::string_view key)
{
    KeyAlterations alterations {};
    if (key.empty() || key == "n") {
        return alterations;
    }
    const auto invalid = [key] {
        fault("has the key signature " + quoted(key)
              + ": a key signature is x (sharps) or b (flats) followed by the capital letters of the notes it "
                "alters, as in xFC or bBEA, or n for none.");
    };
    const int alter = key.front() == 'x' ? 1 : key.front() == 'b' ? -1 : 0;
    if (alter == 0) {
        invalid();
    }
    bool supplied = false;
    bool any = false;
    for (const char c : key.substr(1)) {
        const int letter = letterIndex(c);
        if (c == '[' && !supplied) {
            supplied = true;
        } else if (c == ']' && supplied) {
            supplied = false;
        } else if (letter >= 0 && alterations[static_cast<std::size_t>(letter)] == 0) {
            alterations[static_cast<std::size_t>(letter)] = alter;
            any = true;
        } else {
            invalid();
        }
    }
    if (supplied || !any) {
        invalid();
    }
    return alterations;
}

/// An incipit taken apart: the version, the staff definitions Velk uses and the notes.
struct Incipit
{
    int version = 1;
    KeyAlterations key {};
    std::string notes;
};

/// The named fields of the "@clef:" lines and of the JSON object, checked and applied.
Incipit incipitFromFields(const std::vector<std::pair<std::string, std::string>>& fields, bool json)
{
    static constexpr std::array<std::string_view, 6> kNames {"clef", "keysig", "timesig", "key", "data", "version"};
    const auto shown = [json](std::string_view name) {
        return json ? quoted(name) : "@" + std::string(name) + ":";
    };
    Incipit incipit;
    std::vector<std::string> seen;
    bool hasData = false;
    for (const auto& [name, value] : fields) {
        if (std::find(kNames.begin(), kNames.end(), name) == kNames.end()) {
            fault("has the field " + shown(name) + ", which is none of " + shown("clef") + ", " + shown("keysig") + ", "
                  + shown("timesig") + ", " + shown("key") + ", " + shown("data") + " and " + shown("version") + ".");
        }
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
            fault("gives the field " + shown(name) + " twice.");
        }
        seen.push_back(name);
        const std::string_view text = trimmed(value);
        if (name == "clef" && !text.empty()) {
            checkClef(text);
        } else if (name == "keysig") {
            incipit.key = readKeySignature(text);
        } else if (name == "data") {
            incipit.notes = std::string(text);
            hasData = true;
        } else if (name == "version") {
            if (text == "pe2") {
                incipit.version = 2;
            } else if (!text.empty()) {
                fault("has the version " + quoted(text)
                      + "; Velk reads Version 1 (no version given) and Version 2 (the version pe2).");
            }
        }
    }
    if (!hasData) {
        fault("has no notes: they are given in the field " + shown("data") + ".");
    }
    return incipit;
}

/// A field of the "@clef:" lines begins at "@" followed by a small-letter name and a colon, at the start of the
/// text or after a blank (a line break, or the blank a one-line box may have put in its place).
std::optional<std::size_t> fieldNameEnd(std::string_view text, std::size_t at)
{
    if (text[at] != '@' || (at > 0 && !isBlank(text[at - 1]))) {
        return std::nullopt;
    }
    std::size_t end = at + 1;
    while (end < text.size() && text[end] >= 'a' && text[end] <= 'z') {
        ++end;
    }
    if (end == at + 1 || end >= text.size() || text[end] != ':') {
        return std::nullopt;
    }
    return end;
}

bool startsWithField(std::string_view text)
{
    return !text.empty() && fieldNameEnd(text, 0).has_value();
}

Incipit readFieldLines(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> fields;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t nameEnd = *fieldNameEnd(text, at);
        std::size_t next = nameEnd + 1;
        while (next < text.size() && !fieldNameEnd(text, next)) {
            ++next;
        }
        fields.emplace_back(std::string(text.substr(at + 1, nameEnd - at - 1)),
                            std::string(text.substr(nameEnd + 1, next - nameEnd - 1)));
        at = next;
    }
    return incipitFromFields(fields, false);
}

/// The JSON object form: an object whose values are all strings.
class JsonObjectReader
{
public:
    explicit JsonObjectReader(std::string_view text)
        : m_text(text)
    {
    }

    std::vector<std::pair<std::string, std::string>> read()
    {
        std::vector<std::pair<std::string, std::string>> fields;
        skipBlanks();
        expect('{');
        skipBlanks();
        if (peek('}')) {
            ++m_pos;
        } else {
            for (;;) {
                std::string name = string("a field name in quotes");
                skipBlanks();
                expect(':');
                skipBlanks();
                if (!peek('"')) {
                    fail("the value of " + quoted(name) + " is no text in quotes");
                }
                std::string value = string("");
                fields.emplace_back(std::move(name), std::move(value));
                skipBlanks();
                if (peek(',')) {
                    ++m_pos;
                    skipBlanks();
                    continue;
                }
                expect('}');
                break;
            }
        }
        skipBlanks();
        if (m_pos != m_text.size()) {
            fail("text follows the object's closing }");
        }
        return fields;
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        fault("starts with { and so is read as a JSON object, but " + what + " (at character "
              + std::to_string(std::min(m_pos, m_text.size()) + 1) + ").");
    }

    bool peek(char c) const
    {
        return m_pos < m_text.size() && m_text[m_pos] == c;
    }

    void expect(char c)
    {
        if (!peek(c)) {
            fail(std::string("a ") + c + " is missing");
        }
        ++m_pos;
    }

    void skipBlanks()
    {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos])) {
            ++m_pos;
        }
    }

    unsigned hexQuad()
    {
        unsigned value = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            const char c = m_pos < m_text.size() ? m_text[m_pos] : '\0';
            const int digit = isDigit(c) ? c - '0'
                : c >= 'a' && c <= 'f'   ? c - 'a' + 10
                : c >= 'A' && c <= 'F'   ? c - 'A' + 10
                                         : -1;
            if (digit < 0) {
                fail("a \\u escape needs four hexadecimal digits");
            }
            value = value * 16 + static_cast<unsigned>(digit);
        }
        return value;
    }

    std::string string(const char* what)
    {
        if (!peek('"')) {
            fail(std::string(what) + " is missing");
        }
        ++m_pos;
        std::string out;
        for (;;) {
            if (m_pos >= m_text.size()) {
                fail("a text in quotes is never closed");
            }
            const char c = m_text[m_pos++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("a text in quotes holds a line break or another control character");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            const char escaped = m_pos < m_text.size() ? m_text[m_pos++] : '\0';
            switch (escaped) {
            case '"':
            case '\\':
            case '/':
                out += escaped;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                // The code is ASCII throughout: an escape may stand for an ASCII character only.
                const unsigned code = hexQuad();
                if (code >= 0x80) {
                    fail("a \\u escape stands for a character outside ASCII, which the code never uses");
                }
                out += static_cast<char>(code);
                break;
            }
            default:
                fail("a text in quotes has an unknown escape \\" + std::string(1, escaped));
            }
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

/// The single line: an optional ";pe2", the clef, key and time signatures in any order, a blank, the notes. A text
/// that starts with none of them is the notes alone.
Incipit readSingleLine(std::string_view text)
{
    Incipit incipit;
    if (text.substr(0, 4) == ";pe2") {
        incipit.version = 2;
        text.remove_prefix(4);
    } else if (!text.empty() && text.front() == ';') {
        fault("starts with " + quoted(text.substr(0, text.find_first_of(" %$@")))
              + "; the only version a single line may name is ;pe2.");
    }
    std::size_t at = 0;
    while (at < text.size() && std::string_view("%$@").find(text[at]) != std::string_view::npos) {
        const char sign = text[at++];
        if (sign == '%') {
            checkClef(text.substr(at, 3));
            at += 3;
            continue;
        }
        std::size_t end = at;
        // A blank or the next definition ends a key or time signature.
        const char other = sign == '$' ? '@' : '$';
        while (end < text.size() && !isBlank(text[end]) && text[end] != '%' && text[end] != other) {
            ++end;
        }
        if (sign == '$') {
            incipit.key = readKeySignature(text.substr(at, end - at));
        }
        at = end;
    }
    incipit.notes = std::string(trimmed(text.substr(at)));
    return incipit;
}

Incipit readIncipit(std::string_view text)
{
    if (!text.empty() && text.front() == '{') {
        return incipitFromFields(JsonObjectReader(text).read(), true);
    }
    if (startsWithField(text)) {
        return readFieldLines(text);
    }
    return readSingleLine(text);
}

// -------------------------------------------------------------------------------------------------------------
// The notes

/// A note as written, its pitch worked out, with where it stands and how it is tied.
struct WrittenNote
{
    WrittenPitch pitch;
    std::string text; ///< octave marks, accidental and letter, as the messages name it
    std::size_t at = 0; ///< its letter's place in the notes, from 0
    bool tiedIn = false; ///< the end of a tie: the pitch already sounds
    bool tiedOut = false; ///< tied to the note after it
};

/// The notes an incipit may write out, repetitions included: a few !...!f would otherwise ask for millions.
constexpr std::size_t kMostNotes = 100000;

enum class Grace
{
    None,
    Single, ///< the next note
    Group ///< every note up to r
};

/// Reads the notes of an incipit into the pitches they sound.
class NotesReader
{
public:
    NotesReader(const Incipit& incipit, int capitalOctave, const PitchLookup& lookup, PaeReading& reading)
        : m_text(incipit.notes)
        , m_version(incipit.version)
        , m_key(incipit.key)
        , m_capitalOctave(capitalOctave)
        , m_lookup(lookup)
        , m_reading(reading)
    {
    }

    void read()
    {
        while (m_pos < m_text.size()) {
            const std::size_t at = m_pos;
            const char c = m_text[m_pos++];
            if (isBlank(c) || isDigit(c) || c == '.') {
                // Durations, dots, the rhythm stated once for several notes, the count of a measure rest.
                continue;
            }
            if (c == '\'' || c == ',') {
                octave(c, at);
            } else if (c == 'x' || c == 'b' || c == 'n') {
                accidental(c, at);
            } else if (letterIndex(c) >= 0) {
                note(c, at);
            } else {
                sign(c, at);
            }
        }
        requireNothingPending(m_text.size(), "the end");
        if (m_grace == Grace::Group) {
            fault("begins a group of grace notes (with qq or y) that is never closed with r.");
        }
        if (m_figureOpen) {
            fault("opens a repeated figure with ! at character " + std::to_string(m_figureAt + 1)
                  + " of its notes but never closes it.");
        }
    }

private:
    std::string where(std::size_t at) const
    {
        return "at character " + std::to_string(at + 1) + " of its notes";
    }

    /// The text around a character, for a message.
    std::string around(std::size_t at) const
    {
        const std::size_t from = at > 6 ? at - 6 : 0;
        return quoted(m_text.substr(from, std::min<std::size_t>(at - from + 7, m_text.size() - from)));
    }

    void sign(char c, std::size_t at)
    {
        switch (c) {
        case '-':
        case '=':
            requireNothingPending(at, "a rest");
            break;
        case '/':
        case ':':
            barLine(at);
            break;
        case '{':
        case '}':
        case '(':
        case ')':
        case 't':
        case 'p':
        case 'u':
            // Beams, groups and fermatas around notes, trills, fermatas and ligatures after them.
            break;
        case ';':
            // The number of notes of a group, before its closing parenthesis.
            while (m_pos < m_text.size() && isDigit(m_text[m_pos])) {
                ++m_pos;
            }
            break;
        case '+':
            tieAfter(at);
            break;
        case '_':
            tiedNote(at);
            break;
        case 'g':
        case 'q':
        case 'y':
            graceSign(c, at);
            break;
        case 'r':
            if (m_grace != Grace::Group) {
                fault("has r " + where(at) + ", which ends a group of grace notes, but none was begun (with qq or y).");
            }
            m_grace = Grace::None;
            break;
        case '!':
            repeatedFigure(at);
            break;
        case 'f':
            fault("has f " + where(at)
                  + " that follows no repeated figure: f stands straight after the ! closing "
                    "a figure, once for each repetition.");
        case 'i':
            measureRepeat(at);
            break;
        case '^':
        case '>':
            chord(at);
        case '%':
            checkClef(m_text.substr(m_pos, 3));
            m_pos = std::min(m_pos + 3, m_text.size());
            skipOneBlank();
            break;
        case '$':
            keyChange();
            break;
        case '@':
            while (m_pos < m_text.size() && !isBlank(m_text[m_pos]) && m_text[m_pos] != '$' && m_text[m_pos] != '%') {
                ++m_pos;
            }
            skipOneBlank();
            break;
        case '~':
            // A validity note, one character at the very end.
            if (!trimmed(m_text.substr(std::min(at + 2, m_text.size()))).empty() || at + 1 >= m_text.size()) {
                fault("has ~ " + where(at) + "; a validity note is ~ and one character at the end of the notes.");
            }
            m_pos = m_text.size();
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x80) {
                // Named whole: a typographic apostrophe or quote, as a word processor puts them, is common.
                const auto lead = static_cast<unsigned char>(c);
                const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                fault("has " + quoted(m_text.substr(at, length)) + " " + where(at)
                      + ", which is no sign of the code: it is written in plain ASCII (octave marks are ' and , as "
                        "typed, not typographic quotes).");
            }
            fault("has " + quoted(std::string_view(&m_text[at], 1)) + " " + where(at) + ", in " + around(at)
                  + ", which is no sign of the code.");
        }
    }

    void skipOneBlank()
    {
        if (m_pos < m_text.size() && isBlank(m_text[m_pos])) {
            ++m_pos;
        }
    }

    void octave(char mark, std::size_t at)
    {
        std::size_t count = 1;
        while (m_pos < m_text.size() && m_text[m_pos] == mark) {
            ++count;
            ++m_pos;
        }
        if ((mark == '\'' && count > 4) || (mark == ',' && count > 3)) {
            fault("has the octave mark " + quoted(m_text.substr(at, count)) + " " + where(at)
                  + "; the octaves go from ,,, (C1) to '''' (C7).");
        }
        m_octave = mark == '\'' ? 3 + static_cast<int>(count) : 4 - static_cast<int>(count);
    }

    void accidental(char c, std::size_t at)
    {
        if (m_accidental) {
            fault("has two accidentals before one note " + where(at) + ", in " + around(at) + ".");
        }
        int alter = c == 'x' ? 1 : c == 'b' ? -1 : 0;
        if (c != 'n' && m_pos < m_text.size() && m_text[m_pos] == c) {
            alter *= 2;
            ++m_pos;
        }
        m_accidental = alter;
        m_accidentalText = std::string(m_text.substr(at, m_pos - at));
        m_accidentalAt = at;
    }

    void note(char letter, std::size_t at)
    {
        const auto index = static_cast<std::size_t>(letterIndex(letter));
        WrittenNote written;
        written.pitch.step = letter;
        written.pitch.octave = m_octave;
        if (m_accidental) {
            written.pitch.alter = *m_accidental;
            m_barAlterations[index] = *m_accidental;
        } else {
            written.pitch.alter = m_barAlterations[index].value_or(m_key[index]);
        }
        written.text = octaveMarks(m_octave) + m_accidentalText + letter;
        written.at = at;
        m_accidental.reset();
        m_accidentalText.clear();
        if (m_grace != Grace::None) {
            ++m_reading.graceNotes;
            if (m_grace == Grace::Single) {
                m_grace = Grace::None;
            }
            return;
        }
        const bool tied = m_tiePending;
        m_tiePending = false;
        write(std::move(written), tied);
    }

    /// A note of the line: part of its measure (and of an open figure); sounded unless it ends a tie.
    void write(WrittenNote written, bool tied)
    {
        if (++m_written > kMostNotes) {
            fault("writes out more than " + std::to_string(kMostNotes)
                  + " notes with its repetitions, far more than an incipit holds.");
        }
        written.tiedIn = tied;
        m_measure.push_back(written);
        if (m_figureOpen) {
            m_figure.push_back(written);
        }
        m_previous = written;
        if (!tied) {
            sound(written);
        }
    }

    void sound(const WrittenNote& written)
    {
        const auto spelling = spellingOf(written.pitch, m_capitalOctave);
        if (!spelling) {
            fault("has the note " + written.text + " " + where(written.at) + ", in octave "
                  + std::to_string(written.pitch.octave) + ", outside this movement's two octaves: "
                  + octaveMarks(m_capitalOctave) + " (octave " + std::to_string(m_capitalOctave) + ") and "
                  + octaveMarks(m_capitalOctave + 1) + " (octave " + std::to_string(m_capitalOctave + 1) + ").");
        }
        const Pitch* pitch = m_lookup.find(*spelling);
        if (!pitch) {
            fault("has the note " + written.text + " " + where(written.at) + ", the spelling " + quoted(*spelling)
                  + ", which this catalogue's pitches lack"
                  + (written.pitch.alter == -2 ? " (an older catalogue has no double flats)." : "."));
        }
        m_reading.pitchIds.push_back(pitch->id);
        m_reading.spellings.push_back(*spelling);
    }

    /// Notes written out again (a repeated figure or measure): a tie within them holds as written; their first
    /// note ends a tie only when the note before the repetition is tied to it.
    void replay(const std::vector<WrittenNote>& notes)
    {
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const bool tied = i == 0 ? m_tiePending : notes[i].tiedIn;
            m_tiePending = false;
            write(notes[i], tied);
        }
        m_tiePending = !notes.empty() && notes.back().tiedOut;
    }

    void markTiedOut()
    {
        if (!m_measure.empty()) {
            m_measure.back().tiedOut = true;
        }
        if (m_figureOpen && !m_figure.empty()) {
            m_figure.back().tiedOut = true;
        }
    }

    void tieAfter(std::size_t at)
    {
        if (m_version == 2) {
            fault("has + " + where(at)
                  + ", Version 1's tie; Version 2 (marked ;pe2) writes a tie as _ in place of the tied note.");
        }
        if (!m_previous) {
            fault("has the tie + " + where(at) + " with no note before it.");
        }
        markTiedOut();
        m_tiePending = true;
    }

    void tiedNote(std::size_t at)
    {
        if (m_version == 1) {
            fault("has _ " + where(at)
                  + ", Version 2's tie, in a text read as Version 1; Version 1 writes + after the tied note, and a "
                    "Version 2 text starts with ;pe2 or gives the version pe2.");
        }
        if (!m_previous) {
            fault("has the tie _ " + where(at) + " with no note before it.");
        }
        requireNothingPending(at, "a tie");
        markTiedOut();
        WrittenNote end = *m_previous;
        end.at = at;
        end.tiedOut = false;
        write(std::move(end), true);
    }

    void graceSign(char c, std::size_t at)
    {
        if (m_grace == Grace::Group) {
            return;
        }
        if (m_grace == Grace::Single) {
            fault("has the grace sign " + std::string(1, c) + " " + where(at) + " straight after another one.");
        }
        m_grace = Grace::Single;
        if (c == 'y' || (c == 'q' && m_pos < m_text.size() && m_text[m_pos] == 'q')) {
            m_pos += c == 'q' ? 1 : 0;
            m_grace = Grace::Group;
        }
    }

    void barLine(std::size_t at)
    {
        bool bar = m_text[at] == '/';
        while (m_pos < m_text.size() && (m_text[m_pos] == '/' || m_text[m_pos] == ':')) {
            bar = bar || m_text[m_pos] == '/';
            ++m_pos;
        }
        if (!bar) {
            fault("has : " + where(at)
                  + " away from a bar line; repeat signs stand beside bar lines, as in //: "
                    "and ://.");
        }
        requireNothingPending(at, "a bar line");
        m_barAlterations = {};
        m_lastMeasure = std::move(m_measure);
        m_measure.clear();
        m_barSeen = true;
    }

    void measureRepeat(std::size_t at)
    {
        const bool betweenBars = at > 0 && (m_text[at - 1] == '/' || m_text[at - 1] == ':') && m_pos < m_text.size()
            && (m_text[m_pos] == '/' || m_text[m_pos] == ':');
        if (!betweenBars || !m_barSeen) {
            fault("has i " + where(at) + ", in " + around(at)
                  + "; a measure repeat i stands alone between two bar lines after the measure it repeats, as in "
                    "'4ABAG/i/.");
        }
        replay(m_lastMeasure);
    }

    void repeatedFigure(std::size_t at)
    {
        if (!m_figureOpen) {
            m_figureOpen = true;
            m_figureAt = at;
            m_figure.clear();
            return;
        }
        m_figureOpen = false;
        std::size_t times = 0;
        while (m_pos < m_text.size() && m_text[m_pos] == 'f') {
            ++times;
            ++m_pos;
        }
        if (times == 0) {
            fault("closes a repeated figure with ! " + where(at)
                  + " but no f follows it; an f after the closing ! stands for each repetition, as in !{'8ABAG}!ff.");
        }
        const std::vector<WrittenNote> figure = m_figure;
        for (std::size_t i = 0; i < times; ++i) {
            replay(figure);
        }
    }

    [[noreturn]] void chord(std::size_t at)
    {
        const auto partOfChord = [](char c) {
            return std::string_view("',.xbn^>tp").find(c) != std::string_view::npos || isDigit(c)
                || letterIndex(c) >= 0;
        };
        std::size_t from = at;
        while (from > 0 && partOfChord(m_text[from - 1])) {
            --from;
        }
        std::size_t to = at + 1;
        while (to < m_text.size() && partOfChord(m_text[to])) {
            ++to;
        }
        fault("has a chord, " + std::string(m_text.substr(from, to - from)) + ", " + where(at)
              + "; a line holds one pitch at a time, so chords are not read.");
    }

    void keyChange()
    {
        const std::size_t from = m_pos;
        while (m_pos < m_text.size() && !isBlank(m_text[m_pos]) && m_text[m_pos] != '%' && m_text[m_pos] != '@') {
            ++m_pos;
        }
        m_key = readKeySignature(m_text.substr(from, m_pos - from));
        skipOneBlank();
    }

    void requireNothingPending(std::size_t at, const char* what)
    {
        if (m_accidental) {
            fault("has the accidental " + m_accidentalText + " " + where(m_accidentalAt)
                  + " with no note after it, before " + what + ".");
        }
        if (m_grace == Grace::Single) {
            fault("has a grace sign with no note after it, before " + std::string(what) + " " + where(at) + ".");
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_version;
    KeyAlterations m_key;
    int m_capitalOctave;
    const PitchLookup& m_lookup;
    PaeReading& m_reading;

    int m_octave = 4; ///< notes before any octave mark are in octave 4
    std::optional<int> m_accidental;
    std::string m_accidentalText;
    std::size_t m_accidentalAt = 0;
    std::array<std::optional<int>, 7> m_barAlterations {}; ///< the accidentals of the measure so far, per letter
    Grace m_grace = Grace::None;
    bool m_tiePending = false;
    std::optional<WrittenNote> m_previous;
    std::vector<WrittenNote> m_measure;
    std::vector<WrittenNote> m_lastMeasure;
    bool m_barSeen = false;
    bool m_figureOpen = false;
    std::size_t m_figureAt = 0;
    std::vector<WrittenNote> m_figure;
    std::size_t m_written = 0;
};

std::string counted(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

bool looksLikePae(std::string_view text)
{
    text = trimmed(text);
    return !text.empty()
        && (text.front() == '%' || text.front() == '@' || text.front() == '{' || text.substr(0, 4) == ";pe2");
}

std::string PaeReading::summary() const
{
    std::string text = counted(pitchIds.size(), "pitch", "pitches") + " read from the Plaine & Easie Code";
    if (graceNotes > 0) {
        text += "; " + counted(graceNotes, "grace note was", "grace notes were") + " left out";
    }
    return text + ".";
}

store::Result<PaeReading> readPae(std::string_view text, int capitalOctave, const PitchLookup& lookup)
{
    try {
        const Incipit incipit = readIncipit(trimmed(text));
        PaeReading reading;
        reading.version = incipit.version;
        NotesReader(incipit, capitalOctave, lookup, reading).read();
        if (reading.pitchIds.empty()) {
            fault("gives no notes to enter.");
        }
        return reading;
    } catch (const PaeFault& error) {
        return store::Result<PaeReading>::failure(error.what());
    }
}

store::Result<std::string> writePae(const NotatedLine& line)
{
    if (line.notes.empty()) {
        return store::Result<std::string>::failure("The line has no pitches to write in Plaine & Easie Code.");
    }
    std::string text = line.clef == Clef::Bass ? "%F-4 " : line.clef == Clef::TrebleOctaveDown ? "%g-2 " : "%G-2 ";
    // Without bar lines an accidental lasts for every later note of its letter: one is written where the
    // alteration of a letter changes, a natural where it returns to none.
    std::array<int, 7> shown {};
    std::optional<int> octave;
    for (std::size_t i = 0; i < line.notes.size(); ++i) {
        const auto& pitch = line.notes[i].pitch;
        if (!pitch || letterIndex(pitch->step) < 0) {
            return store::Result<std::string>::failure(
                "Pitch " + std::to_string(i + 1) + " of the line, " + quoted(line.notes[i].spelling)
                + ", is no letter with an accidental, so the line cannot be written in Plaine & Easie Code.");
        }
        if (octave != pitch->octave) {
            text += octaveMarks(pitch->octave);
            octave = pitch->octave;
        }
        if (i == 0) {
            text += '4';
        }
        int& alteration = shown[static_cast<std::size_t>(letterIndex(pitch->step))];
        if (pitch->alter != alteration) {
            text += accidentalSign(pitch->alter);
            alteration = pitch->alter;
        }
        text += pitch->step;
    }
    return text;
}

} // namespace velk::pitches
