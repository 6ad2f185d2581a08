#include "exchange/ExchangeCommands.h"

#include "exchange/CataloguePrinting.h"
#include "exchange/Csv.h"
#include "exchange/MusicXml.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace velk::exchange
{

namespace
{

SaveFileHook& saveFileHook()
{
    static SaveFileHook hook;
    return hook;
}

PrintDialogHook& printDialogHook()
{
    static PrintDialogHook hook;
    return hook;
}

const QString kTitle = QStringLiteral("Velk");
const std::string kNoResults = "There are no search results yet: search first, then export or print what it found.";

QString askFile(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter)
{
    if (saveFileHook()) {
        return saveFileHook()(caption, suggested);
    }
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

void warn(QWidget* parent, const std::string& message)
{
    ui::showMessageBox(parent, {kTitle, QString::fromStdString(message), ui::BoxIcon::Warning});
}

// Keeps the wait cursor up while a long command runs.
class BusyCursor
{
public:
    BusyCursor()
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor()
    {
        QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

void setSaveFileHook(SaveFileHook hook)
{
    saveFileHook() = std::move(hook);
}

void setPrintDialogHook(PrintDialogHook hook)
{
    printDialogHook() = std::move(hook);
}

CommandOutcome exportMusicXmlCommand(QWidget* parent,
                                     const std::string& connectionString,
                                     std::int64_t movementId,
                                     const QString& suggestedName)
{
    const QString file = askFile(parent, QStringLiteral("Export as MusicXML"), suggestedName,
                                 QStringLiteral("MusicXML (*.musicxml *.xml)"));
    if (file.isEmpty()) {
        return std::nullopt;
    }
    const auto written = exportMusicXml(connectionString, movementId, file.toStdString());
    if (!written) {
        warn(parent, written.message());
        return std::nullopt;
    }
    return QStringLiteral("The line was written to %1.").arg(file);
}

CommandOutcome exportCsvCommand(QWidget* parent,
                                const std::string& connectionString,
                                const Selection& selection,
                                const QString& suggestedName)
{
    if (selection.kind == Selection::Kind::Movements && selection.movementIds.empty()) {
        warn(parent, kNoResults);
        return std::nullopt;
    }
    const QString file = askFile(parent, QStringLiteral("Export as CSV"), suggestedName, QStringLiteral("CSV (*.csv)"));
    if (file.isEmpty()) {
        return std::nullopt;
    }
    BusyCursor busy;
    const auto written = exportCsv(connectionString, selection, file.toStdString());
    if (!written) {
        warn(parent, written.message());
        return std::nullopt;
    }
    return QStringLiteral("%1 movement(s) were written to %2.").arg(written.value()).arg(file);
}

CommandOutcome printCommand(QWidget* parent,
                            const std::string& connectionString,
                            const Selection& whole,
                            const std::optional<Selection>& part)
{
    if (whole.kind == Selection::Kind::Movements && whole.movementIds.empty()) {
        warn(parent, kNoResults);
        return std::nullopt;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromStdString(printedTitle(whole)));
    printer.setPrintRange(QPrinter::AllPages);
    bool accepted = false;
    if (printDialogHook()) {
        accepted = printDialogHook()(printer);
    } else {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(part && part->kind == Selection::Kind::Work
                                  ? QStringLiteral("Print (Selection: KTN %1)").arg(part->ktn)
                                  : QStringLiteral("Print"));
        QAbstractPrintDialog::PrintDialogOptions options
            = QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize;
        if (part) {
            options |= QAbstractPrintDialog::PrintSelection;
        }
        dialog.setOptions(options);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted) {
        return std::nullopt;
    }
    const Selection& chosen = part && printer.printRange() == QPrinter::Selection ? *part : whole;
    BusyCursor busy;
    const auto catalogue = readPrintedCatalogue(connectionString, chosen);
    if (!catalogue) {
        warn(parent, catalogue.message());
        return std::nullopt;
    }
    const auto pages = paintCatalogue(printer, catalogue.value());
    if (!pages) {
        warn(parent, pages.message());
        return std::nullopt;
    }
    return QStringLiteral("%1 movement(s) printed on %2 page(s).").arg(catalogue->movementCount()).arg(pages.value());
}

} // namespace velk::exchange
