#pragma once

#include "exchange/CatalogueEntries.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QPrinter;
class QWidget;

namespace velk::exchange
{

/// Answers the file dialog of an export instead of showing it (for tests): receives the dialog's caption and the
/// suggested file name and returns the file chosen, or the empty text for Cancel.
using SaveFileHook = std::function<QString(const QString& caption, const QString& suggested)>;
/// Sets the hook that answers every following file dialog (nullptr shows the dialogs again).
void setSaveFileHook(SaveFileHook hook);

/// Answers the print dialog instead of showing it (for tests): receives the printer as the dialog would leave it
/// set up and returns true for Print. The hook may set the output file and the print range.
using PrintDialogHook = std::function<bool(QPrinter& printer)>;
void setPrintDialogHook(PrintDialogHook hook);

/// What a window's export or print command did: the text for its status bar, or nothing when the user cancelled
/// or a message box has already said what went wrong.
using CommandOutcome = std::optional<QString>;

/// Asks where to write the movement's line as MusicXML and writes it.
CommandOutcome exportMusicXmlCommand(QWidget* parent,
                                     const std::string& connectionString,
                                     std::int64_t movementId,
                                     const QString& suggestedName);

/// Asks where to write the selected movements as CSV and writes them.
CommandOutcome exportCsvCommand(QWidget* parent,
                                const std::string& connectionString,
                                const Selection& selection,
                                const QString& suggestedName);

/// Shows the platform's print dialog (a printer or a PDF file) and prints the selection. With a part (one work),
/// the dialog offers it as its "Selection" range beside "All", which prints the whole selection.
CommandOutcome printCommand(QWidget* parent,
                            const std::string& connectionString,
                            const Selection& whole,
                            const std::optional<Selection>& part = std::nullopt);

} // namespace velk::exchange
