#include "exchange/MusicXml.h"

#include "exchange/OutputFile.h"
#include "store/Connection.h"

#include <exception>
#include <map>
#include <utility>

namespace velk::exchange
{

namespace
{

// Text as XML character data: markup characters escaped, characters XML 1.0 does not allow (controls other than
// tab and line ends) left out.
std::string xmlText(std::string_view raw)
{
    const std::string text = utf8Text(raw);
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

const char* accidentalName(int alter)
{
    switch (alter) {
    case -2:
        return "flat-flat";
    case -1:
        return "flat";
    case 1:
        return "sharp";
    case 2:
        return "double-sharp";
    default:
        return "natural";
    }
}

std::string clefElement(pitches::Clef clef)
{
    switch (clef) {
    case pitches::Clef::Bass:
        return "<clef><sign>F</sign><line>4</line></clef>";
    case pitches::Clef::TrebleOctaveDown:
        return "<clef><sign>G</sign><line>2</line><clef-octave-change>-1</clef-octave-change></clef>";
    case pitches::Clef::Treble:
        break;
    }
    return "<clef><sign>G</sign><line>2</line></clef>";
}

} // namespace

std::string movementName(const std::optional<std::int64_t>& ktn, const std::optional<std::int64_t>& mvmt)
{
    return "KTN " + (ktn ? std::to_string(*ktn) : std::string("?")) + ", movement "
        + (mvmt ? std::to_string(*mvmt) : std::string("?"));
}

store::Result<std::string> musicXml(const ScoreHeading& heading, const pitches::NotatedLine& line)
{
    for (std::size_t i = 0; i < line.notes.size(); ++i) {
        if (!line.notes[i].pitch) {
            return store::Result<std::string>::failure(
                "The line of " + movementName(heading.ktn, heading.mvmt) + " cannot be written as MusicXML: pitch "
                + std::to_string(i + 1) + " “" + utf8Text(line.notes[i].spelling)
                + "” is no letter with an accidental, so it has no place on a staff.");
        }
    }
    const std::string title = movementName(heading.ktn, heading.mvmt);
    std::string subjects;
    for (const auto& subject : heading.subjects) {
        subjects += (subjects.empty() ? "" : "; ") + subject;
    }

    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
                      "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
                      "<score-partwise version=\"4.0\">\n";
    if (heading.ktn) {
        xml += "  <work><work-number>KTN " + std::to_string(*heading.ktn) + "</work-number></work>\n";
    }
    if (heading.mvmt) {
        xml += "  <movement-number>" + std::to_string(*heading.mvmt) + "</movement-number>\n";
    }
    xml += "  <movement-title>" + xmlText(title) + "</movement-title>\n";
    xml += "  <identification><encoding><software>Velk</software></encoding></identification>\n";
    xml += "  <credit page=\"1\"><credit-type>title</credit-type><credit-words justify=\"center\" valign=\"top\">"
        + xmlText(title) + "</credit-words></credit>\n";
    if (!subjects.empty()) {
        xml += "  <credit page=\"1\"><credit-type>subtitle</credit-type><credit-words justify=\"center\" "
               "valign=\"top\">"
            + xmlText(subjects) + "</credit-words></credit>\n";
    }
    xml += "  <part-list>\n    <score-part id=\"P1\"><part-name>" + xmlText(heading.partName)
        + "</part-name></score-part>\n  </part-list>\n";
    xml += "  <part id=\"P1\">\n";

    const std::size_t count = line.notes.size();
    const std::size_t measures = count == 0 ? 1 : (count + kNotesPerMeasure - 1) / kNotesPerMeasure;
    // The alteration last written for each step and octave anywhere on the line: with no bar line drawn, a reader
    // carries an accidental on past the measure's end, so a note that differs from it gets a cautionary one.
    std::map<std::pair<char, int>, int> lastWritten;
    for (std::size_t measure = 0; measure < measures; ++measure) {
        xml += "    <measure number=\"" + std::to_string(measure + 1) + "\">\n";
        if (measure == 0) {
            xml += "      <attributes><divisions>1</divisions><key print-object=\"no\"><fifths>0</fifths></key>"
                   "<time print-object=\"no\"><beats>"
                + std::to_string(kNotesPerMeasure) + "</beats><beat-type>4</beat-type></time>" + clefElement(line.clef)
                + "</attributes>\n";
        }
        // The alteration in force for each step and octave within the measure.
        std::map<std::pair<char, int>, int> inForce;
        const std::size_t end = std::min(count, (measure + 1) * kNotesPerMeasure);
        for (std::size_t i = measure * kNotesPerMeasure; i < end; ++i) {
            const pitches::WrittenPitch& pitch = *line.notes[i].pitch;
            xml += "      <note><pitch><step>";
            xml += pitch.step;
            xml += "</step>";
            if (pitch.alter != 0) {
                xml += "<alter>" + std::to_string(pitch.alter) + "</alter>";
            }
            xml += "<octave>" + std::to_string(pitch.octave) + "</octave></pitch>";
            xml += "<duration>1</duration><voice>1</voice><type>quarter</type>";
            const auto key = std::make_pair(pitch.step, pitch.octave);
            const auto found = inForce.find(key);
            const auto seen = lastWritten.find(key);
            const int before = found == inForce.end() ? 0 : found->second;
            const int shown = seen == lastWritten.end() ? 0 : seen->second;
            if (pitch.alter != before) {
                xml += std::string("<accidental>") + accidentalName(pitch.alter) + "</accidental>";
            } else if (pitch.alter != shown) {
                xml += std::string("<accidental cautionary=\"yes\">") + accidentalName(pitch.alter) + "</accidental>";
            }
            inForce[key] = pitch.alter;
            lastWritten[key] = pitch.alter;
            xml += "<stem>none</stem></note>\n";
        }
        // The measures only carry the notes: no bar line is drawn between them, and the last ends the line.
        if (measure + 1 < measures) {
            xml += "      <barline location=\"right\"><bar-style>none</bar-style></barline>\n";
        } else {
            xml += "      <barline location=\"right\"><bar-style>light-heavy</bar-style></barline>\n";
        }
        xml += "    </measure>\n";
    }
    xml += "  </part>\n</score-partwise>\n";
    return xml;
}

ScoreHeading scoreHeading(const CatalogueEntries& entries, const MovementEntry& entry)
{
    ScoreHeading heading;
    heading.ktn = wholeNumber(entries.field(entry, "iKTN"));
    heading.mvmt = wholeNumber(entries.field(entry, "iMvmt"));
    for (const char* column : {"Sub1", "Sub2", "Sub3", "Sub4", "Sub5", "Sub6"}) {
        const std::string subject = fieldText(entries.field(entry, column));
        if (!subject.empty()) {
            heading.subjects.push_back(subject);
        }
    }
    for (const auto& name : voiceNames(entries, entry)) {
        heading.partName += (heading.partName.empty() ? "" : ", ") + name;
    }
    if (heading.partName.empty()) {
        heading.partName = "Voice";
    }
    return heading;
}

store::Result<>
exportMusicXml(const std::string& connectionString, std::int64_t movementId, const std::string& outputPath)
{
    store::Result<std::string> xml = store::Result<std::string>::failure("");
    try {
        auto connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
        const CatalogueEntries entries = readEntries(connection, Selection::movements({movementId}));
        if (entries.entries.empty()) {
            return store::Result<>::failure("There is no movement with the id " + std::to_string(movementId) + " in "
                                            + connection.path() + ".");
        }
        const MovementEntry& entry = entries.entries.front();
        xml = musicXml(scoreHeading(entries, entry), entry.line);
    } catch (const std::exception& error) {
        return store::Result<>::failure(error.what());
    }
    if (!xml) {
        return store::Result<>::failure(xml.message());
    }
    return writeOutputFile(outputPath, xml.value());
}

} // namespace velk::exchange
