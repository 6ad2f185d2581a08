#include "tools/Demo.h"

#include "melody/MelodyIndex.h"

#include "store/ReferenceData.h"
#include "tabulations/Tabulation.h"
#include "tools/CatalogueFile.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

namespace velk::tools
{

namespace
{

using store::Value;

/// A reproducible source of small random numbers. The engine's output is fixed by the standard; the library's
/// distributions are not, so they are not used.
class Dice
{
public:
    explicit Dice(std::uint32_t seed)
        : m_engine(seed)
    {
    }
    /// 0 .. n-1
    int below(int n)
    {
        return static_cast<int>(m_engine() % static_cast<std::uint32_t>(n));
    }
    int between(int low, int high)
    {
        return low + below(high - low + 1);
    }
    bool chance(int percent)
    {
        return below(100) < percent;
    }

private:
    std::mt19937 m_engine;
};

struct Key
{
    int letter; ///< 0 = C .. 6 = B
    int semitone; ///< of the tonic, 0 = C
    bool minor;
};

constexpr int kLetterSemitones[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr const char kLetterNames[] = "cdefgab";
constexpr int kMajorSteps[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr int kMinorSteps[7] = {0, 2, 3, 5, 7, 8, 10};

/// "C major", "a minor", "E♭ major", "f♯ minor".
Key parseKey(const std::string& text)
{
    const std::string letters = "CDEFGAB";
    const auto letter = letters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text.at(0)))));
    if (letter == std::string::npos) {
        throw std::logic_error("bad demo key " + text);
    }
    int semitone = kLetterSemitones[letter];
    if (text.compare(1, 3, "\xE2\x99\xAD") == 0) {
        --semitone;
    } else if (text.compare(1, 3, "\xE2\x99\xAF") == 0) {
        ++semitone;
    }
    return {static_cast<int>(letter), (semitone + 12) % 12, text.find("minor") != std::string::npos};
}

/// The accidental (-2 .. 2) the key gives a letter.
int keyAccidental(const Key& key, int letter)
{
    const int degree = (letter - key.letter + 7) % 7;
    const int target = (key.semitone + (key.minor ? kMinorSteps : kMajorSteps)[degree]) % 12;
    int accidental = (target - kLetterSemitones[letter] + 12) % 12;
    if (accidental > 6) {
        accidental -= 12;
    }
    return accidental;
}

std::string spelling(int position, int accidental)
{
    // Positions 0..6 are the lower register (capitals), 7..13 the upper one.
    const char letter = kLetterNames[position % 7];
    std::string text(1, position < 7 ? static_cast<char>(letter - 'a' + 'A') : letter);
    static const char* const marks[5] = {"//", "/", "", "*", "**"};
    return text + marks[accidental + 2];
}

/// A singable line in the key: mostly steps, some thirds, few leaps, ending on the tonic.
std::vector<std::string> melody(Dice& dice, const Key& key, int length)
{
    std::vector<std::string> notes;
    int position = key.letter + (key.letter < 4 ? 7 : 0);
    for (int i = 0; i < length; ++i) {
        const int letter = position % 7;
        int accidental = keyAccidental(key, letter);
        const int degree = (letter - key.letter + 7) % 7;
        if (key.minor && degree == 6 && dice.chance(60)) {
            ++accidental; // the leading note
        } else if (dice.chance(4)) {
            const int altered = accidental + 1; // a raised passing note
            if (altered >= -1 && altered <= 1) {
                accidental = altered;
            }
        }
        if (accidental >= -2 && accidental <= 2) {
            notes.push_back(spelling(position, accidental));
        } else {
            notes.push_back(spelling(position, keyAccidental(key, letter)));
        }

        const int roll = dice.below(100);
        int step = roll < 55 ? 1 : roll < 78 ? 2 : roll < 88 ? 0 : roll < 97 ? dice.between(3, 4) : 7;
        bool up = dice.chance(50);
        // Drift back towards the middle of the range.
        if (position > 10) {
            up = dice.chance(25);
        } else if (position < 4) {
            up = dice.chance(75);
        }
        position += up ? step : -step;
        if (position < 0) {
            position = -position;
        }
        if (position > 13) {
            position = 26 - position;
        }
    }
    // Close on the tonic nearest the last note.
    const int lowTonic = key.letter;
    const int highTonic = key.letter + 7;
    const int last = std::abs(position - lowTonic) < std::abs(position - highTonic) ? lowTonic : highTonic;
    notes.back() = spelling(last, keyAccidental(key, key.letter));
    return notes;
}

/// RTF for a text given in UTF-8: accented Latin letters become \'hh escapes of code page 1252.
std::string rtfText(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (c == '\\' || c == '{' || c == '}') {
                out += '\\';
            }
            out += static_cast<char>(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            const unsigned code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
            static const char* const hex = "0123456789abcdef";
            out += "\\'";
            out += hex[(code >> 4) & 0xF];
            out += hex[code & 0xF];
        } else {
            out += '?';
        }
    }
    return out;
}

std::string rtfDocument(const std::string& body)
{
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Book Antiqua;}{\\f1\\fswiss\\fcharset0 "
           "Arial;}}\\viewkind4\\uc1\\pard\\f0\\fs24 "
        + body + "\\par\n}";
}

struct MovementPlan
{
    const char* kind; ///< "Chorus", "Aria", ...
    const char* title; ///< the words it opens with (UTF-8)
    const char* openingKey;
    const char* closingKey;
    const char* voices; ///< letters of S, A, T, B
    bool accompanied;
    std::vector<const char*> subjects;
};

struct WorkPlan
{
    int ktn;
    const char* title; ///< UTF-8
    int year;
    const char* firstPerformance;
    std::vector<MovementPlan> movements;
};

const std::vector<WorkPlan>& works()
{
    static const std::vector<WorkPlan> plans = {
        {4,
         "Der Morgen bricht an",
         1721,
         "2 Feb 1721",
         {{"Chorus", "Der Morgen bricht an", "C major", "C major", "SATB", true, {"Praise", "Light", "Joy"}},
          {"Recitative", "So wacht, ihr Müden", "a minor", "e minor", "T", true, {"Light"}},
          {"Aria", "Grüß dich, du Morgenstern", "G major", "G major", "S", true, {"Joy", "Spring"}},
          {"Aria", "Mein Herz erwacht", "e minor", "e minor", "A", true, {"Love"}},
          {"Chorale", "Lob sei dem Herrn", "C major", "C major", "SATB", true, {"Praise"}}}},
        {12,
         "Hirtenkantate",
         1723,
         "25 Dec 1723",
         {{"Sinfonia and Chorus", "Ihr Hirten, wacht", "G major", "G major", "SATB", true, {"Shepherds", "Night"}},
          {"Recitative", "Und es waren Hirten", "e minor", "b minor", "T", true, {"Shepherds"}},
          {"Aria", "Schlaf, mein Liebster", "D major", "D major", "A", true, {"Night", "Love"}},
          {"Duet", "Wir eilen mit Freuden", "A major", "A major", "SB", true, {"Joy", "Shepherds"}},
          {"Recitative", "Dort liegt das Kind", "f\xE2\x99\xAF minor", "D major", "B", true, {"Shepherds"}},
          {"Chorale", "Ehre sei Gott", "G major", "G major", "SATB", true, {"Praise", "Joy"}}}},
        {21,
         "Klage der Nacht",
         1724,
         "7 Apr 1724",
         {{"Chorus", "Weinen, Klagen", "f minor", "f minor", "SATB", true, {"Lament", "Death"}},
          {"Recitative", "Die Nacht ist tief", "c minor", "g minor", "A", true, {"Night", "Lament"}},
          {"Aria", "Ach, schwere Stunde", "c minor", "c minor", "T", true, {"Lament", "Death", "Night"}},
          {"Aria", "Still, mein Herz", "E\xE2\x99\xAD major", "E\xE2\x99\xAD major", "B", true, {"Peace"}},
          {"Motet", "Selig sind die Toten", "g minor", "G major", "SATB", false, {"Death", "Peace"}},
          {"Chorale",
           "Nun ruhen alle Wälder",
           "E\xE2\x99\xAD major",
           "E\xE2\x99\xAD major",
           "SATB",
           true,
           {"Night", "Peace"}}}},
        {36,
         "Frühlingsfeier",
         1726,
         "12 May 1726",
         {{"Chorus", "Der Frühling kommt", "F major", "F major", "SATB", true, {"Spring", "Joy"}},
          {"Aria", "Blühet, ihr Auen", "B\xE2\x99\xAD major", "B\xE2\x99\xAD major", "S", true, {"Spring", "Love"}},
          {"Recitative", "So schön ist die Welt", "d minor", "a minor", "T", true, {"Spring"}},
          {"Duet", "Komm, Liebster, komm", "F major", "F major", "ST", true, {"Love", "Spring", "Joy"}},
          {"Chorus", "Lobet den Schöpfer", "F major", "F major", "SATB", true, {"Praise", "Spring"}}}},
        {52,
         "Lob und Dank",
         1729,
         "1 Jan 1729",
         {{"Chorus", "Lobet Gott in seinen Reichen", "D major", "D major", "SATB", true, {"Praise", "Joy"}},
          {"Aria", "Dankt dem Herrn", "b minor", "b minor", "A", true, {"Praise"}},
          {"Recitative", "Wie groß ist seine Güte", "G major", "D major", "B", true, {"Praise", "Faith"}},
          {"Aria", "Mein Glaube steht", "A major", "A major", "T", true, {"Faith"}},
          {"Motet", "Jauchzet dem Herrn", "D major", "D major", "SATB", false, {"Joy", "Praise", "Faith"}},
          {"Chorale", "Nun danket alle", "D major", "D major", "SATB", true, {"Praise"}}}},
        {78,
         "Abendlied",
         1733,
         "29 Sep 1733",
         {{"Chorus", "Der Tag ist hin", "a minor", "a minor", "SATB", true, {"Night", "Peace"}},
          {"Aria", "Müde bin ich", "d minor", "F major", "S", true, {"Night", "Death"}},
          {"Duet", "Wir wandern in die Nacht", "g minor", "g minor", "AT", true, {"Night", "Love", "Lament"}},
          {"Chorale", "Bleib bei uns", "a minor", "A major", "SATB", true, {"Night", "Faith", "Peace"}}}},
    };
    return plans;
}

std::string description(const WorkPlan& work, const MovementPlan& movement, int length)
{
    std::string text = "{\\b " + rtfText(movement.kind) + ".} {\\i " + rtfText(movement.title) + "}\\par\n";
    text += "From {\\i " + rtfText(work.title) + "} (KTN " + std::to_string(work.ktn) + "), " + std::to_string(length)
        + " measures in " + rtfText(movement.openingKey) + ". ";
    if (std::string(movement.voices) == "SATB") {
        text += movement.accompanied ? "Four voices with the full band." : "Four voices {\\b a cappella}.";
    } else {
        static const std::map<char, const char*> names
            = {{'S', "soprano"}, {'A', "alto"}, {'T', "tenor"}, {'B', "bass"}};
        std::string parts;
        for (const char* v = movement.voices; *v != 0; ++v) {
            parts += (parts.empty() ? "" : " and ") + std::string(names.at(*v));
        }
        text += "For " + parts + " with continuo.";
    }
    text += "\\par\n{\\f1\\fs20 Subjects: ";
    for (std::size_t i = 0; i < movement.subjects.size(); ++i) {
        text += (i ? ", " : "") + std::string(movement.subjects[i]);
    }
    text += ".}";
    return rtfDocument(text);
}

std::string comments(Dice& dice, const WorkPlan& work, const MovementPlan& movement)
{
    static const char* const remarks[] = {
        "The autograph score is lost; the parts survive in a copyist's hand.",
        "The text underlay in the second part differs from the printed libretto.",
        "A later revision transposes the movement down a tone.",
        "The oboe part is marked {\\i ad libitum} in the original parts.",
        "Performed again in {\\b 1747} with a new text: \"Grüß Gott, ihr Frommen\".",
        "The continuo figures are sparse after measure 20.",
    };
    if (dice.chance(25)) {
        return {};
    }
    std::string text = rtfText(remarks[dice.below(6)]);
    if (std::string(movement.kind) == "Chorale") {
        text += "\\par\nThe melody is the same as in the closing chorale of KTN " + std::to_string(work.ktn) + ".";
    }
    return rtfDocument(text);
}

} // namespace

void writeDemoCatalogue(store::Connection& connection)
{
    std::map<std::string, const store::ReferencePitch*> pitches;
    for (const store::ReferencePitch& pitch : store::referencePitches()) {
        pitches[pitch.spelling] = &pitch;
    }
    Dice dice(20240601u);
    store::Transaction transaction(connection);
    for (const WorkPlan& work : works()) {
        int movementNumber = 0;
        for (const MovementPlan& movement : work.movements) {
            ++movementNumber;
            const bool recitative = std::string(movement.kind) == "Recitative";
            const int length = recitative ? dice.between(8, 40) : dice.between(24, 220);
            const int positions = recitative ? dice.between(10, 60) : dice.between(40, 200);
            const std::vector<std::string> line = melody(dice, parseKey(movement.openingKey), positions);

            std::vector<std::optional<std::int64_t>> classCounts(12);
            std::vector<std::int32_t> lineIds;
            for (const std::string& note : line) {
                const store::ReferencePitch* pitch = pitches.at(note);
                lineIds.push_back(pitch->id);
                auto& count = classCounts[static_cast<std::size_t>(pitch->classId - 1)];
                count = count.value_or(0) + 1;
            }
            // Stored as storing the sequence in the movement window stores it.
            const double storedDeviation = tabulations::storedDeviation(
                tabulations::averageDeviation(classCounts, static_cast<std::int64_t>(line.size())));

            const std::string voices = movement.voices;
            std::vector<Value> values = {
                Value(work.ktn),
                Value(movementNumber),
                Value(movementNumber),
                Value("TC " + std::to_string(work.year) + " / FP " + work.firstPerformance),
                Value(length),
                // Only the movements in compound time carry a "12 in" count.
                dice.chance(30) ? Value(length / 2) : Value(),
                Value(movement.openingKey),
                Value(movement.closingKey),
                Value(voices.find('S') != std::string::npos),
                Value(voices.find('A') != std::string::npos),
                Value(voices.find('T') != std::string::npos),
                Value(voices.find('B') != std::string::npos),
                Value(movement.accompanied),
            };
            for (std::size_t i = 0; i < 6; ++i) {
                values.push_back(i < movement.subjects.size() ? Value(movement.subjects[i]) : Value());
            }
            values.push_back(Value(description(work, movement, length)));
            const std::string remark = comments(dice, work, movement);
            values.push_back(remark.empty() ? Value() : Value(remark));
            values.push_back(Value(storedDeviation));
            insertMovementWithSequence(connection, values, lineIds);
        }
    }
    melody::rebuildMelodyIndex(connection);
    transaction.commit();
}

void createDemoCatalogue(const std::string& file, bool replace)
{
    createCatalogueFile(file, replace, [](store::Connection& connection) { writeDemoCatalogue(connection); });
}

} // namespace velk::tools
