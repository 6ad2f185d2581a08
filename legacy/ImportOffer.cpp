#include "legacy/ImportOffer.h"

#include "legacy/StartupImport.h"
#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace velk::legacy
{

namespace
{

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// What the child says it is doing, as the dialog's label.
QString stageLabel(const std::string& stage)
{
    return stage.empty() ? QStringLiteral("Taking the old catalogue over ...")
                         : QStringLiteral("Taking the old catalogue over: %1").arg(qs(stage));
}

} // namespace

const QString ImportOffer::progressName = QStringLiteral("importProgress");
const QString ImportOffer::reportName = QStringLiteral("importReport");

ImportOffer::ImportOffer(std::filesystem::path folder, std::string program, ImportLimits limits)
    : m_folder(std::move(folder))
    , m_program(std::move(program))
    , m_limits(limits)
{
}

bool ImportOffer::run(QWidget* parent)
{
    const auto offer = startupImport(m_folder);
    if (!offer) {
        return false;
    }
    if (!ui::showMessageBox(parent, {qs(offer->title), qs(offer->question), ui::BoxIcon::Question, true})) {
        return false;
    }
    if (m_program.empty()) {
        ui::showMessageBox(parent, {qs(offer->title), qs(noImportProgramMessage()), ui::BoxIcon::Critical});
        return false;
    }
    const ImportResult result = import(parent, offer->oldFile.string(), offer->newFile.string());
    const ImportFinish finish = importFinish(result);
    if (!finish.message.empty()) {
        ui::showMessageBox(parent, {qs(offer->title), qs(finish.message), ui::BoxIcon::Critical});
    }
    if (finish.showReport) {
        showReport(parent, result.report);
    }
    return finish.openCatalogue;
}

ImportResult ImportOffer::import(QWidget* parent, const std::string& oldFile, const std::string& newFile)
{
    std::unique_ptr<ImportProcess> process;
    try {
        process = std::make_unique<ImportProcess>(m_program, oldFile, newFile, false, m_limits);
    } catch (const std::runtime_error& error) {
        ImportResult failed;
        failed.message = error.what();
        return failed;
    }

    QProgressDialog dialog(stageLabel({}), QStringLiteral("Cancel"), 0, 100, parent);
    dialog.setObjectName(progressName);
    dialog.setWindowTitle(QStringLiteral("Velk"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setMinimumDuration(0);
    dialog.setMinimumWidth(420);
    dialog.setValue(0);

    // The child is read from a timer, a little at a time, so the dialog stays live and Cancel is heard at once.
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(30);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        const bool running = process->poll(std::chrono::milliseconds(0), [&](int percent, const std::string& stage) {
            dialog.setValue(std::clamp(percent, 0, 100));
            dialog.setLabelText(stageLabel(stage));
        });
        if (!running) {
            loop.quit();
        }
    });
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
        process->cancel();
        loop.quit();
    });
    timer.start();
    dialog.show();
    loop.exec();
    timer.stop();
    dialog.hide();
    return process->result();
}

void ImportOffer::showReport(QWidget* parent, const std::string& report)
{
    QDialog dialog(parent);
    dialog.setObjectName(reportName);
    dialog.setWindowTitle(QStringLiteral("Velk: the old catalogue was taken over"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("The new catalogue is ready. What the import did:"), &dialog));
    auto* text = new QPlainTextEdit(qs(report), &dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
    dialog.resize(760, 520);
    dialog.exec();
}

std::string importProgram()
{
    return findImportProgram(QCoreApplication::applicationDirPath().toStdString(), std::getenv("PATH"));
}

} // namespace velk::legacy
