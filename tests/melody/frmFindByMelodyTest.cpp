#include "melody/frmFindByMelody.h"

#include "melody/MelodyIndex.h"
#include "sound/Player.h"
#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "tests/support/TempCatalogue.h"
#include "ui/FlexGrid.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class frmFindByMelodyTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensFresh();
    void enterRunsTheSearchOnce();
    void optionsChooseTheMode();
    void badMelodiesLeaveTheLastResult();
    void reopeningStartsFresh();
    void sharedWindowOpensModallyOverItsOwner();
    void aSequenceChangedMeanwhileIsSearchedAsItNowIs();
    void playPlaysTheRunOfTheSelectedResult();
    void playSaysWhyNothingPlays();

private:
    QString playStatus() const;
    void add(int ktn, int mvmt, const std::vector<std::string>& spellings);
    void typeAndEnter(const QString& text);
    QStringList column(int col) const;

    std::unique_ptr<velk::test::TempCatalogue> m_catalogue;
    std::unique_ptr<velk::melody::frmFindByMelody> m_window;
    QStringList m_shown;
    QLineEdit* m_text = nullptr;
    velk::ui::FlexGrid* m_grid = nullptr;
};

void frmFindByMelodyTest::add(int ktn, int mvmt, const std::vector<std::string>& spellings)
{
    using velk::store::Value;
    auto connection
        = velk::store::Connection::open(m_catalogue->connectionString(), velk::store::AccessMode::ReadWrite);
    velk::store::Transaction transaction(connection);
    connection.execute("INSERT INTO tblMovement (iKTN, iMvmt, iOrder, Deviation) VALUES (?, ?, 1, 2.5)",
                       {Value(ktn), Value(mvmt)});
    const auto id = connection.lastInsertId();
    std::vector<std::int32_t> ids;
    for (const auto& spelling : spellings) {
        for (const auto& pitch : velk::store::referencePitches()) {
            if (pitch.spelling == spelling) {
                ids.push_back(pitch.id);
            }
        }
    }
    for (const auto pitch : ids) {
        connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) VALUES (?, ?)",
                           {Value(id), Value(std::int64_t {pitch})});
    }
    velk::melody::ensureMelodyIndex(connection);
    velk::melody::indexMovement(connection, id, ids);
    transaction.commit();
}

void frmFindByMelodyTest::init()
{
    m_catalogue = std::make_unique<velk::test::TempCatalogue>();
    add(5, 1, {"c", "d", "e", "c", "d", "e"});
    add(2, 3, {"g", "a", "b"});
    m_shown.clear();
    velk::ui::setMessageBoxHook([this](const velk::ui::BoxMessage& message) {
        m_shown << message.text;
        return false;
    });
    m_window = std::make_unique<velk::melody::frmFindByMelody>();
    m_text = m_window->findChild<QLineEdit*>(QStringLiteral("txtMelody"));
    m_grid = m_window->findChild<velk::ui::FlexGrid*>(QStringLiteral("fgMelodyResult"));
    QVERIFY(m_text && m_grid);
    m_window->setConnectionString(m_catalogue->connectionString());
    m_window->load();
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTRY_COMPARE(QApplication::focusWidget(), m_text);
}

void frmFindByMelodyTest::cleanup()
{
    m_window.reset();
    velk::ui::setMessageBoxHook(nullptr);
    m_catalogue.reset();
}

void frmFindByMelodyTest::typeAndEnter(const QString& text)
{
    QTest::mouseClick(m_text, Qt::LeftButton);
    m_text->clear();
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

QStringList frmFindByMelodyTest::column(int col) const
{
    QStringList cells;
    for (int row = 1; row < m_grid->rows(); ++row) {
        cells << m_grid->textMatrix(row, col);
    }
    return cells;
}

void frmFindByMelodyTest::opensFresh()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("frmFindByMelody"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Find By Melody"));
    QCOMPARE(m_text->text(), QString());
    QVERIFY(m_window->findChild<QRadioButton*>(QStringLiteral("optExact"))->isChecked());
    QCOMPARE(m_window->findChild<QRadioButton*>(QStringLiteral("optClasses"))->text(),
             QStringLiteral("Same pitch classes"));
    QCOMPARE(m_window->findChild<QRadioButton*>(QStringLiteral("optTransposed"))->text(), QStringLiteral("Transposed"));
    auto* find = m_window->findChild<QPushButton*>(QStringLiteral("cmdFind"));
    QCOMPARE(find->text(), QStringLiteral("&Find"));
    QVERIFY(!find->isDefault() && !find->autoDefault());
    QVERIFY(m_window->findChild<QLabel*>(QStringLiteral("lblMelodyNote"))
                ->text()
                .contains(QStringLiteral("no pitch heights")));
    QCOMPARE(m_grid->rows(), 1);
    QCOMPARE(m_grid->fixedRows(), 1);
    QCOMPARE((QStringList {m_grid->textMatrix(0, 0), m_grid->textMatrix(0, 1), m_grid->textMatrix(0, 2),
                           m_grid->textMatrix(0, 3)}),
             (QStringList {QStringLiteral("KTN"), QStringLiteral("MVMT"), QStringLiteral("Position"),
                           QStringLiteral("Deviation")}));
    QCOMPARE(m_window->statusText(), QString());
    QVERIFY(m_window->findChild<QStatusBar*>(QStringLiteral("sbrMelodyCount")) != nullptr);
    QCOMPARE(m_text->font().family(), QStringLiteral("Book Antiqua"));
    QVERIFY(m_text->font().bold());
    QCOMPARE(m_text->font().pointSizeF(), 12.0);
    // Opening started reading the sequences into memory, so the first search answers from them.
    QVERIFY(velk::melody::waitForSequencesInMemory(m_catalogue->connectionString()));
    const auto first = velk::melody::findMelody(m_catalogue->connectionString(), "c d", velk::melody::Mode::Exact);
    QVERIFY(first && first->fromMemory);
}

void frmFindByMelodyTest::enterRunsTheSearchOnce()
{
    typeAndEnter(QStringLiteral("c d e"));
    QCOMPARE(column(0), (QStringList {QStringLiteral("5"), QStringLiteral("5")}));
    QCOMPARE(column(1), (QStringList {QStringLiteral("1"), QStringLiteral("1")}));
    QCOMPARE(column(2), (QStringList {QStringLiteral("1"), QStringLiteral("4")}));
    QCOMPARE(column(3), (QStringList {QStringLiteral("2.5"), QStringLiteral("2.5")}));
    QCOMPARE(m_window->statusText(), QStringLiteral("2 occurrences of “c d e” found"));
    QVERIFY(m_shown.isEmpty());
    // One Enter, one search: an unknown spelling is reported exactly once.
    typeAndEnter(QStringLiteral("c h"));
    QCOMPARE(m_shown.size(), 1);
}

void frmFindByMelodyTest::optionsChooseTheMode()
{
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("c d e"));
    QTest::mouseClick(m_window->findChild<QRadioButton*>(QStringLiteral("optTransposed")), Qt::LeftButton);
    QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("cmdFind")), Qt::LeftButton);
    QCOMPARE(column(0), (QStringList {QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("5")}));
    QCOMPARE(m_window->statusText(), QStringLiteral("3 occurrences of “c d e” found"));
    m_text->clear();
    QTest::mouseClick(m_text, Qt::LeftButton);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("b* d f/"));
    m_window->findChild<QRadioButton*>(QStringLiteral("optClasses"))->click();
    m_window->find();
    QCOMPARE(column(2), (QStringList {QStringLiteral("1"), QStringLiteral("4")}));
}

void frmFindByMelodyTest::badMelodiesLeaveTheLastResult()
{
    typeAndEnter(QStringLiteral("g a"));
    QCOMPARE(column(0), (QStringList {QStringLiteral("2")}));
    typeAndEnter(QStringLiteral("c x*"));
    m_window->findChild<QRadioButton*>(QStringLiteral("optTransposed"))->click();
    typeAndEnter(QStringLiteral("c"));
    QCOMPARE(m_shown.size(), 2);
    QVERIFY(m_shown[0].startsWith(QStringLiteral("“x*” is not a pitch spelling")));
    QVERIFY(m_shown[1].startsWith(QStringLiteral("A transposed search needs at least 2 pitches")));
    QCOMPARE(column(0), (QStringList {QStringLiteral("2")}));
    QCOMPARE(m_window->statusText(), QStringLiteral("1 occurrence of “g a” found"));
    m_window->findChild<QRadioButton*>(QStringLiteral("optExact"))->click();
    typeAndEnter(QStringLiteral("b b"));
    QCOMPARE(m_grid->rows(), 1);
    QCOMPARE(m_window->statusText(), QStringLiteral("No occurrences of “b b” found."));
}

void frmFindByMelodyTest::reopeningStartsFresh()
{
    m_window->findChild<QRadioButton*>(QStringLiteral("optClasses"))->click();
    typeAndEnter(QStringLiteral("c d"));
    QCOMPARE(m_grid->rows(), 3);
    m_window->load();
    QCOMPARE(m_text->text(), QString());
    QVERIFY(m_window->findChild<QRadioButton*>(QStringLiteral("optExact"))->isChecked());
    QCOMPARE(m_grid->rows(), 1);
    QCOMPARE(m_grid->textMatrix(0, 2), QStringLiteral("Position"));
    QCOMPARE(m_window->statusText(), QString());
}

void frmFindByMelodyTest::sharedWindowOpensModallyOverItsOwner()
{
    QWidget owner;
    owner.show();
    std::vector<velk::melody::frmFindByMelody*> windows;
    QStringList statuses;
    auto searchAndClose = [&](const QString& melody) {
        QTimer::singleShot(0, [&, melody]() {
            // Whatever happens, the modal window is closed so that the test cannot hang.
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            auto* modal = qobject_cast<velk::melody::frmFindByMelody*>(dialog);
            windows.push_back(modal);
            if (modal) {
                statuses << modal->statusText();
                auto* text = modal->findChild<QLineEdit*>(QStringLiteral("txtMelody"));
                QTest::keyClicks(text, melody);
                QTest::keyClick(text, Qt::Key_Return);
                statuses << modal->statusText();
            }
            if (dialog) {
                dialog->reject();
            }
        });
    };
    searchAndClose(QStringLiteral("g a b"));
    velk::melody::frmFindByMelody::ShowFindByMelody(&owner, m_catalogue->connectionString());
    searchAndClose(QStringLiteral("c d"));
    velk::melody::frmFindByMelody::ShowFindByMelody(&owner, m_catalogue->connectionString());
    QCOMPARE(static_cast<int>(windows.size()), 2);
    QVERIFY(windows[0] != nullptr);
    QCOMPARE(windows[1], windows[0]);
    QCOMPARE(windows[0]->parentWidget(), &owner);
    QCOMPARE(statuses,
             (QStringList {QString(), QStringLiteral("1 occurrence of “g a b” found"), QString(),
                           QStringLiteral("2 occurrences of “c d” found")}));
}

void frmFindByMelodyTest::aSequenceChangedMeanwhileIsSearchedAsItNowIs()
{
    typeAndEnter(QStringLiteral("c d e"));
    QCOMPARE(column(2), (QStringList {QStringLiteral("1"), QStringLiteral("4")}));
    // Another program deletes the first position of the sequence while the window is open.
    velk::store::Connection::open(m_catalogue->connectionString(), velk::store::AccessMode::ReadWrite)
        .execute("DELETE FROM tblMovementPitchJoin WHERE iMovementPitchID = (SELECT Min(iMovementPitchID) FROM "
                 "tblMovementPitchJoin)");
    typeAndEnter(QStringLiteral("c d e"));
    QCOMPARE(column(2), (QStringList {QStringLiteral("3")}));
    QCOMPARE(m_window->statusText(), QStringLiteral("1 occurrence of “c d e” found"));
}

QString frmFindByMelodyTest::playStatus() const
{
    return m_window->findChild<QLabel*>(QStringLiteral("lblPlayStatus"))->text();
}

void frmFindByMelodyTest::playPlaysTheRunOfTheSelectedResult()
{
    const std::string timGM6mb = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (!std::filesystem::exists(timGM6mb)) {
        QSKIP("TimGM6mb is not installed (package timgm6mb-soundfont)");
    }
    setenv("VELK_SOUNDFONT", timGM6mb.c_str(), 1);
    velk::sound::setAudioDrivers(
        {{"file", "a file", {{"audio.file.name", (m_catalogue->folder() / "heard.wav").string()}}}});
    typeAndEnter(QStringLiteral("c d e"));
    QCOMPARE(column(2), (QStringList {QStringLiteral("1"), QStringLiteral("4")}));
    auto* tempo = m_window->findChild<QSpinBox*>(QStringLiteral("txtTempo"));
    tempo->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), tempo);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("240"));
    m_grid->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_grid);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTRY_COMPARE(m_grid->row(), 2);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);

    QCOMPARE(playStatus(), QStringLiteral("Playing positions 4 to 6 at 240 beats a minute."));
    QTRY_COMPARE(playStatus(), QStringLiteral("Played to the end."));
    // The search's own status is kept.
    QVERIFY(m_window->statusText().startsWith(QStringLiteral("2 occurrences")));
    QVERIFY(m_shown.isEmpty());
    unsetenv("VELK_SOUNDFONT");
    velk::sound::setAudioDrivers({{"pulseaudio", "PulseAudio", {}}, {"alsa", "ALSA", {}}});
}

void frmFindByMelodyTest::playSaysWhyNothingPlays()
{
    velk::sound::setAudioDrivers({{"alsa", "ALSA", {{"audio.alsa.device", "hw:velk-no-such-card"}}}});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    QCOMPARE(playStatus(), QStringLiteral("Find a melody first: Play plays the run of the selected result."));
    typeAndEnter(QStringLiteral("g a"));
    QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("cmdPlay")), Qt::LeftButton);
    QVERIFY2(playStatus().startsWith(QStringLiteral("No sound device could be opened"))
                 || playStatus().startsWith(QStringLiteral("No General MIDI SoundFont")),
             qPrintable(playStatus()));
    QVERIFY(m_shown.isEmpty());
    // A new search clears what was said about the last run.
    typeAndEnter(QStringLiteral("c d"));
    QVERIFY(m_window->findChild<QLabel*>(QStringLiteral("lblPlayStatus"))->isHidden());
    velk::sound::setAudioDrivers({{"pulseaudio", "PulseAudio", {}}, {"alsa", "ALSA", {}}});
}

QTEST_MAIN(frmFindByMelodyTest)
#include "frmFindByMelodyTest.moc"
