#include "legacy/ImportOffer.h"
#include "movement/frmMovement.h"
#include "store/Connection.h"
#include "store/Value.h"
#include "tests/support/TempCatalogue.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

namespace
{

namespace fs = std::filesystem;
using velk::legacy::ImportOffer;
using velk::ui::BoxIcon;
using velk::ui::BoxMessage;

// AddressSanitizer reserves terabytes of address space for itself, so its builds run the child without that limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kAddressSpace = 0;
#else
constexpr std::size_t kAddressSpace = std::size_t {1} << 30;
#endif
const velk::legacy::ImportLimits kLimits {std::chrono::seconds(30), kAddressSpace};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> folderNames(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Acts once on the dialog named name when it is shown and has the focus, from the event loop it runs in.
void whenShown(const QString& name, std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, name, act] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == name && widget->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(widget);
                return;
            }
        }
    });
    timer->start();
}

} // namespace

/// The start-up offer over a copy of the old catalogue, with the real import program in a child process.
class ImportOfferTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        velk::ui::setupApplication();
    }

    void init()
    {
        m_folder = std::make_unique<velk::test::TempFolder>();
        m_messages.clear();
        m_answer = true;
        velk::ui::setMessageBoxHook([this](const BoxMessage& message) {
            m_messages.push_back(message);
            return m_answer;
        });
    }

    void cleanup()
    {
        velk::ui::setMessageBoxHook(nullptr);
        m_folder.reset();
    }

    void yesTakesTheCatalogueOverAndTheWindowOpensIt()
    {
        copyOld("Velk.mdb");
        QString report;
        whenShown(ImportOffer::reportName, [&report](QWidget* dialog) {
            auto* text = dialog->findChild<QPlainTextEdit*>();
            report = text->toPlainText();
            QVERIFY(text->isReadOnly());
            // Closed as the user would, with Return on the focused OK button.
            QTRY_VERIFY(QApplication::focusWidget() != nullptr);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });

        QVERIFY(offer().run());

        QCOMPARE(m_messages.size(), std::size_t {1});
        QVERIFY(m_messages[0].question);
        QVERIFY(report.contains(QStringLiteral("tblMovement")));
        const fs::path file = m_folder->path() / "Velk.db";
        QVERIFY(fs::exists(file));
        auto connection
            = velk::store::Connection::open("Data Source=" + file.string(), velk::store::AccessMode::ReadOnly);
        QCOMPARE(connection.query("SELECT COUNT(*) FROM tblMovement").rows().at(0).at(0).toInt64(), 40);

        velk::movement::frmMovement window("Data Source=" + file.string());
        const auto outcome = window.load();
        QVERIFY2(outcome, outcome.message().c_str());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void noWritesNothing()
    {
        copyOld("Velk.mdb");
        const std::string before = readFile(m_folder->path() / "Velk.mdb");
        m_answer = false;

        QVERIFY(!offer().run());

        QCOMPARE(m_messages.size(), std::size_t {1});
        QVERIFY(m_messages[0].question);
        QCOMPARE(folderNames(m_folder->path()), std::vector<std::string> {"Velk.mdb"});
        QVERIFY(readFile(m_folder->path() / "Velk.mdb") == before);
    }

    void cancelLeavesNothingBehind()
    {
        copyOld("Velk.mdb");
        bool cancelled = false;
        whenShown(ImportOffer::progressName, [&cancelled](QWidget* dialog) {
            auto* button = dialog->findChild<QPushButton*>();
            QVERIFY(button != nullptr);
            QTest::mouseClick(button, Qt::LeftButton);
            cancelled = static_cast<QProgressDialog*>(dialog)->wasCanceled();
        });

        QVERIFY(!offer().run());

        QVERIFY(cancelled);
        QCOMPARE(m_messages.size(), std::size_t {1});
        QCOMPARE(folderNames(m_folder->path()), std::vector<std::string> {"Velk.mdb"});
    }

    void anUnreadableFileIsReportedAndTheCatalogueIsStillMissing_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("keep"); // bytes of the source kept, 0 for all
        QTest::newRow("another database") << QStringLiteral("not-a-catalogue.mdb") << 0;
        QTest::newRow("cut short") << QStringLiteral("Velk.mdb") << 3 * 4096 + 100;
        QTest::newRow("only a header") << QStringLiteral("Velk.mdb") << 700;
    }

    void anUnreadableFileIsReportedAndTheCatalogueIsStillMissing()
    {
        QFETCH(QString, source);
        QFETCH(int, keep);
        std::string bytes = readFile(fs::path(VELK_LEGACY_DATA) / source.toStdString());
        if (keep > 0) {
            bytes.resize(static_cast<std::size_t>(keep));
        }
        std::ofstream(m_folder->path() / "Velk.mdb", std::ios::binary) << bytes;

        QVERIFY(!offer().run());

        QCOMPARE(m_messages.size(), std::size_t {2});
        QCOMPARE(m_messages[1].icon, BoxIcon::Critical);
        QVERIFY(!m_messages[1].text.isEmpty());
        QCOMPARE(folderNames(m_folder->path()), std::vector<std::string> {"Velk.mdb"});
        // The window goes on to its usual ending for a folder without a catalogue.
        velk::movement::frmMovement window("Data Source=" + (m_folder->path() / "Velk.db").string());
        const auto outcome = window.load();
        QVERIFY(!outcome);
        QVERIFY2(outcome.message().find("was not found") != std::string::npos, outcome.message().c_str());
    }

    void noImportProgramIsSaidPlainly()
    {
        copyOld("Velk.mdb");

        QVERIFY(!ImportOffer(m_folder->path(), "", kLimits).run());

        QCOMPARE(m_messages.size(), std::size_t {2});
        QVERIFY(m_messages[1].text.contains(QStringLiteral("velk-catalogue")));
        QCOMPARE(folderNames(m_folder->path()), std::vector<std::string> {"Velk.mdb"});
    }

private:
    void copyOld(const char* name)
    {
        fs::copy_file(fs::path(VELK_LEGACY_DATA) / name, m_folder->path() / "Velk.mdb");
    }

    ImportOffer offer() const
    {
        return ImportOffer(m_folder->path(), VELK_CATALOGUE_EXE, kLimits);
    }

    std::unique_ptr<velk::test::TempFolder> m_folder;
    std::vector<BoxMessage> m_messages;
    bool m_answer = true;
};

QTEST_MAIN(ImportOfferTest)
#include "ImportOfferTest.moc"
