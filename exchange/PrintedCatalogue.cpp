#include "exchange/PrintedCatalogue.h"

#include "exchange/MusicXml.h"
#include "rtf/Rtf.h"
#include "store/Connection.h"

#include <exception>
#include <utility>

namespace velk::exchange
{

namespace
{

std::string number(const std::optional<std::int64_t>& value)
{
    return value ? std::to_string(*value) : std::string("?");
}

std::string joinedWith(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string text;
    for (const auto& part : parts) {
        if (part.empty()) {
            continue;
        }
        text += (text.empty() ? "" : separator) + part;
    }
    return text;
}

PrintedMovement printedMovement(const CatalogueEntries& entries, const MovementEntry& entry)
{
    PrintedMovement movement;
    const auto text = [&](const char* column) {
        return fieldText(entries.field(entry, column));
    };
    movement.heading = "KTN " + number(wholeNumber(entries.field(entry, "iKTN"))) + " · Movement "
        + number(wholeNumber(entries.field(entry, "iMvmt")));
    const auto add = [&](const char* label, std::string value) {
        if (!value.empty()) {
            movement.facts.push_back({label, std::move(value)});
        }
    };
    add("TC/FP", text("txtComposed"));
    const std::string opening = text("strOpeningKey");
    const std::string closing = text("strClosingKey");
    add("Keys", opening == closing ? opening : joinedWith({opening, closing}, " – "));
    std::string voiceText = joinedWith(voiceNames(entries, entry), ", ");
    if (entries.field(entry, "chkAccompanied").toBool()) {
        voiceText += voiceText.empty() ? "accompanied" : "; accompanied";
    }
    add("Voices", voiceText);
    add("Subjects",
        joinedWith({text("Sub1"), text("Sub2"), text("Sub3"), text("Sub4"), text("Sub5"), text("Sub6")}, "; "));
    const std::string description = text("Description");
    if (!rtf::plainText(description).empty()) {
        movement.descriptionRtf = rtf::isRtf(description) ? description : rtf::rtfFromPlainText(description);
    }
    movement.lineLength = entry.line.notes.size();
    movement.incipit = entry.line;
    if (movement.incipit.notes.size() > kPrintedNotes) {
        movement.incipit.notes.resize(kPrintedNotes);
    }
    const store::Value& deviation = entries.field(entry, "Deviation");
    if (!deviation.isNull()) {
        movement.deviation = "Deviation " + store::formatSingle(static_cast<float>(deviation.toDouble()));
    }
    return movement;
}

} // namespace

std::size_t PrintedCatalogue::movementCount() const
{
    std::size_t count = 0;
    for (const auto& work : works) {
        count += work.movements.size();
    }
    return count;
}

PrintedCatalogue printedCatalogue(const CatalogueEntries& entries, const std::string& title)
{
    PrintedCatalogue catalogue;
    catalogue.title = title;
    for (const auto& entry : entries.entries) {
        const auto ktn = wholeNumber(entries.field(entry, "iKTN"));
        if (catalogue.works.empty() || catalogue.works.back().ktn != ktn) {
            catalogue.works.push_back({ktn, "KTN " + number(ktn), {}});
        }
        catalogue.works.back().movements.push_back(printedMovement(entries, entry));
    }
    return catalogue;
}

std::string printedTitle(const Selection& selection)
{
    switch (selection.kind) {
    case Selection::Kind::Work:
        return "Thematic catalogue: KTN " + std::to_string(selection.ktn);
    case Selection::Kind::Movements:
        return "Thematic catalogue: search results";
    case Selection::Kind::All:
        break;
    }
    return "Thematic catalogue";
}

store::Result<PrintedCatalogue> readPrintedCatalogue(const std::string& connectionString, const Selection& selection)
{
    try {
        auto connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
        const CatalogueEntries entries = readEntries(connection, selection);
        if (entries.entries.empty()) {
            return store::Result<PrintedCatalogue>::failure(
                selection.kind == Selection::Kind::Work
                    ? "There is no movement of KTN " + std::to_string(selection.ktn) + " in " + connection.path()
                        + " to print."
                    : "There is no movement in " + connection.path() + " to print.");
        }
        return printedCatalogue(entries, printedTitle(selection));
    } catch (const std::exception& error) {
        return store::Result<PrintedCatalogue>::failure(error.what());
    }
}

} // namespace velk::exchange
