#pragma once

#include "legacy/ImportProcess.h"

#include <QString>

#include <filesystem>
#include <string>

class QWidget;

namespace velk::legacy
{

/// The start-up offer to take the old program's catalogue over: asks, runs the import in a child process behind a
/// progress dialog that can be cancelled, and shows the report or the finished message. The window opens the new
/// catalogue afterwards as usual.
class ImportOffer
{
public:
    /// folder is where Velk.db is looked for; program is the import program (empty: none was found).
    ImportOffer(std::filesystem::path folder, std::string program, ImportLimits limits = {});

    /// Makes the offer when the folder calls for it. Returns true when a new catalogue was made.
    bool run(QWidget* parent = nullptr);

    /// The object names tests find the dialogs by.
    static const QString progressName;
    static const QString reportName;

private:
    ImportResult import(QWidget* parent, const std::string& oldFile, const std::string& newFile);
    void showReport(QWidget* parent, const std::string& report);

    std::filesystem::path m_folder;
    std::string m_program;
    ImportLimits m_limits;
};

/// The import program for the running velk: velk-catalogue beside it, else on the PATH.
std::string importProgram();

} // namespace velk::legacy
