#include "movement/MovementController.h"
#include "movement/PageWidgets.h"
#include "pitches/PitchChartDialog.h"
#include "pitches/StaffView.h"
#include "sound/PlaybackBar.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace velk::movement
{
namespace
{

constexpr double kPitchBoxPointSize = 15.75;
constexpr int kEntryBoxLongest = 1 << 20;

// Rows for the pitch grid: the position number, a tab and the glyph.
QStringList pitchGridRows(const std::vector<pitches::SequenceEntry>& entries, std::size_t firstNumber)
{
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(entries.size()));
    std::size_t n = firstNumber;
    for (const auto& entry : entries) {
        rows.append(QString::number(n++) + QLatin1Char('\t') + pageText(entry.glyph));
    }
    return rows;
}

} // namespace

PitchesWidget::PitchesWidget(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fraMovementPitches"));
    auto* layout = new QHBoxLayout(this);

    m_sequenceGrid = new ui::FlexGrid(this);
    m_sequenceGrid->setObjectName(QStringLiteral("fgPitches"));
    m_sequenceGrid->setFont(ui::bookAntiqua(12, true));
    m_sequenceGrid->setCols(2);
    m_sequenceGrid->setFixedRows(0);
    m_sequenceGrid->setFixedCols(1);
    m_sequenceGrid->setRows(0);
    m_sequenceGrid->setColWidth(1, 1800);
    m_sequenceGrid->setMinimumWidth(220);
    layout->addWidget(m_sequenceGrid, 0);

    auto* side = new QWidget(this);
    auto* grid = new QGridLayout(side);
    grid->addWidget(pageLabel("Label1", "Pitch", side), 0, 0);
    m_entryBox = new QLineEdit(side);
    m_entryBox->setObjectName(QStringLiteral("txtPitch"));
    m_entryBox->setFont(ui::velkFont(kPitchBoxPointSize));
    m_entryBox->setMinimumWidth(160);
    // A pasted line of pitches is never cut short in the middle of a spelling (the box's own limit is 32,767
    // characters, fewer than a long line's spellings take).
    m_entryBox->setMaxLength(kEntryBoxLongest);
    grid->addWidget(m_entryBox, 0, 1);
    m_insertButton = new QPushButton(QStringLiteral("&Insert"), side);
    m_insertButton->setObjectName(QStringLiteral("cmdInsertPitch"));
    m_insertButton->setToolTip(QStringLiteral("Insert the typed pitches before the selected one and store the line "
                                              "(Insert or Alt+I)"));
    m_insertButton->setAutoDefault(false);
    m_insertButton->setFocusPolicy(Qt::NoFocus);
    m_insertButton->setEnabled(false);
    // The window keeps the ink of closed fields on its pages; a command that cannot be given looks it.
    QPalette greyWhenClosed = m_insertButton->palette();
    greyWhenClosed.setColor(QPalette::Disabled, QPalette::ButtonText,
                            greyWhenClosed.color(QPalette::Disabled, QPalette::ButtonText));
    m_insertButton->setPalette(greyWhenClosed);
    connect(m_insertButton, &QPushButton::clicked, this,
            [this] { m_controller->InsertPitches(m_entryBox->text().toStdString()); });
    grid->addWidget(m_insertButton, 0, 2, Qt::AlignLeft);
    grid->addWidget(pageLabel("Label8", "Sharps", side), 1, 0);
    m_sharpCount = pageLabel("lblSharpCount", "0", side);
    grid->addWidget(m_sharpCount, 1, 1);
    grid->addWidget(pageLabel("Label9", "Flats", side), 2, 0);
    m_flatCount = pageLabel("lblFlatCount", "0", side);
    grid->addWidget(m_flatCount, 2, 1);
    auto* hint = pageLabel("lblPitchHint",
                           "Type a spelling and press Enter: a letter (capital for the lower register), then * for "
                           "a sharp, ** for a double sharp, / for a flat, // for a double flat. Several spellings "
                           "with blanks between them enter a phrase; Backspace in the empty box takes back the last "
                           "pitch appended.",
                           side);
    hint->setWordWrap(true);
    hint->setFont(ui::bookAntiqua(10, false));
    grid->addWidget(hint, 3, 0, 1, 2);
    auto* chart = new QPushButton(QStringLiteral("Spellings..."), side);
    chart->setObjectName(QStringLiteral("cmdPitchChart"));
    chart->setAutoDefault(false);
    chart->setFocusPolicy(Qt::NoFocus);
    connect(chart, &QPushButton::clicked, this, [this] {
        pitches::PitchChartDialog::Pitches list;
        for (const auto& pitch : m_controller->pitches().pitchLookup().pitches()) {
            list.emplace_back(pitch.spelling.value_or(std::string()), pitch.glyph);
        }
        pitches::PitchChartDialog dialog(list, this);
        dialog.exec();
    });
    grid->addWidget(chart, 4, 0, 1, 2, Qt::AlignLeft);
    auto* copy = new QPushButton(QStringLiteral("Copy as PAE"), side);
    copy->setObjectName(QStringLiteral("cmdCopyPae"));
    copy->setToolTip(QStringLiteral("Copies the line in Plaine & Easie Code (Ctrl+Shift+C)"));
    copy->setAutoDefault(false);
    copy->setFocusPolicy(Qt::NoFocus);
    connect(copy, &QPushButton::clicked, this, &PitchesWidget::copyAsPae);
    // The whole window's key while the page is shown (a hidden page's shortcut does not fire), wherever the focus
    // is: after a store the entry box that had it is closed.
    auto* copyKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), this);
    copyKey->setContext(Qt::WindowShortcut);
    connect(copyKey, &QShortcut::activated, this, &PitchesWidget::copyAsPae);
    grid->addWidget(copy, 5, 0, 1, 2, Qt::AlignLeft);
    m_playback = new sound::PlaybackBar(side);
    grid->addWidget(m_playback, 6, 0, 1, 3);
    // Before the entry box in the tab order, so that the focus leaves a closed entry box for where it always went.
    setTabOrder(m_playback->tempoBox(), m_entryBox);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(3, 1);
    layout->addWidget(besideGrid(side), 1);
    connect(m_sequenceGrid, &ui::FlexGrid::selChange, this, &PitchesWidget::selChange);
    connect(m_playback, &sound::PlaybackBar::playRequested, this,
            [this](int tempo) { m_playback->setPlaying(m_controller->PlayPitches(tempo)); });
    connect(m_playback, &sound::PlaybackBar::stopRequested, this, [this] {
        m_controller->StopPlaying();
        m_playback->setPlaying(false);
    });
    connect(m_playback, &sound::PlaybackBar::tick, this, [this] {
        if (!m_controller->PlaybackTick()) {
            m_playback->setPlaying(false);
        }
    });
}

// The staff above the octave setting and the entry controls.
QWidget* PitchesWidget::besideGrid(QWidget* entry)
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    m_staff = new pitches::StaffView(column);
    layout->addWidget(m_staff);
    connect(m_staff, &pitches::StaffView::noteClicked, this, &PitchesWidget::staffNoteClicked);

    auto* octave = new QHBoxLayout;
    auto* caption = pageLabel("lblCapitalOctave", "&Octave of capitals", column);
    octave->addWidget(caption);
    m_capitalOctave = new QComboBox(column);
    m_capitalOctave->setObjectName(QStringLiteral("cboCapitalOctave"));
    m_capitalOctave->setToolTip(QStringLiteral("The octave the capital letters stand for (middle C is C4); the small "
                                               "letters are the octave above them"));
    m_capitalOctave->addItems({QString(), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    m_capitalOctave->setEnabled(false);
    caption->setBuddy(m_capitalOctave);
    octave->addWidget(m_capitalOctave);
    octave->addStretch(1);
    layout->addLayout(octave);
    connect(m_capitalOctave, &QComboBox::activated, this, [this](int index) {
        m_controller->CapitalOctaveChosen(index > 0 ? std::optional<int>(pitches::kLowestCapitalOctave + index - 1)
                                                    : std::nullopt);
    });

    layout->addWidget(entry, 1);
    return column;
}

void PitchesWidget::attach(MovementController& controller)
{
    m_controller = &controller;
}

QLineEdit* PitchesWidget::entryBox() const
{
    return m_entryBox;
}

void PitchesWidget::copyAsPae()
{
    if (const auto text = m_controller->CopyAsPae()) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(*text));
    }
}

QPushButton* PitchesWidget::insertButton() const
{
    return m_insertButton;
}

void PitchesWidget::selChange()
{
    // Moving the current column back to the glyph raises the signal again; that inner call has nothing to do.
    if (m_inPitchSelChange) {
        return;
    }
    m_inPitchSelChange = true;
    if (m_sequenceGrid->col() != 1 && m_sequenceGrid->row() >= 0) {
        m_sequenceGrid->setCol(1);
    }
    const int row = m_sequenceGrid->row();
    m_inPitchSelChange = false;
    const auto current = row >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(row)) : std::nullopt;
    m_staff->setCurrent(current, true);
    m_controller->PitchSelectionChanged(current);
}

void PitchesWidget::staffNoteClicked(std::size_t index)
{
    const int row = static_cast<int>(index);
    if (row >= m_sequenceGrid->rows()) {
        return;
    }
    m_sequenceGrid->setCurrentCell(row, 1);
    if (!m_sequenceGrid->rowIsVisible(row)) {
        m_sequenceGrid->setTopRow(row);
    }
}

void PitchesWidget::showSequence(const std::vector<pitches::SequenceEntry>& entries)
{
    // The grid is hidden while it is filled; hiding it hands the focus on to the page's next control (the tempo
    // or the octave setting, where the arrow keys would change them), so the grid takes it back afterwards.
    QWidget* focus = QApplication::focusWidget();
    const bool gridHadFocus = focus != nullptr && (focus == m_sequenceGrid || m_sequenceGrid->isAncestorOf(focus));
    m_sequenceGrid->setVisible(false);
    m_sequenceGrid->setRows(0);
    m_sequenceGrid->clear();
    if (!entries.empty()) {
        std::vector<std::int32_t> ids;
        ids.reserve(entries.size());
        for (const auto& entry : entries) {
            ids.push_back(entry.pitchId);
        }
        m_sequenceGrid->addItems(pitchGridRows(entries, 1), ids, 1, ui::velkFont(kGlyphPointSize));
    }
    m_sequenceGrid->setVisible(true);
    if (gridHadFocus) {
        m_sequenceGrid->setFocus();
    }
}

void PitchesWidget::appendPosition(const pitches::SequenceEntry& entry)
{
    const int n = m_sequenceGrid->rows();
    m_sequenceGrid->addItem(QString::number(n + 1) + QLatin1Char('\t') + pageText(entry.glyph));
    m_inPitchSelChange = true;
    m_sequenceGrid->setCurrentCell(n, 1);
    m_sequenceGrid->setCellFont(QString::fromLatin1(ui::kVelkFont), kGlyphPointSize, false);
    m_inPitchSelChange = false;
    m_sequenceGrid->setRowData(n, entry.pitchId);
}

void PitchesWidget::replacePosition(std::size_t row, const pitches::SequenceEntry& entry)
{
    const int r = static_cast<int>(row);
    m_sequenceGrid->setTextMatrix(r, 1, pageText(entry.glyph));
    m_sequenceGrid->setRowData(r, entry.pitchId);
}

void PitchesWidget::removePosition(std::size_t row)
{
    m_sequenceGrid->removeItem(static_cast<int>(row));
    for (int i = static_cast<int>(row); i < m_sequenceGrid->rows(); ++i) {
        m_sequenceGrid->setTextMatrix(i, 0, QString::number(i + 1));
    }
}

void PitchesWidget::showCurrentPosition(std::optional<std::size_t> row, bool scrollIntoView)
{
    m_inPitchSelChange = true;
    if (row) {
        const int r = static_cast<int>(*row);
        m_sequenceGrid->setCurrentCell(r, 1);
        if (scrollIntoView && !m_sequenceGrid->rowIsVisible(r)) {
            m_sequenceGrid->setTopRow(r);
        }
    }
    m_inPitchSelChange = false;
    m_staff->setCurrent(row, scrollIntoView);
}

void PitchesWidget::showCounts(const std::string& sharps, const std::string& flats)
{
    m_sharpCount->setText(pageText(sharps));
    m_flatCount->setText(pageText(flats));
}

void PitchesWidget::showEntryBox(const EntryBox& box)
{
    // A closing box hands the keys to the pitch grid, not to the next control in the tab order (the octave setting
    // or the tempo, where Down would change them); also when a message box has the focus for the moment.
    if (!box.editing && (QApplication::focusWidget() == m_entryBox || window()->focusWidget() == m_entryBox)) {
        m_sequenceGrid->setFocus();
    }
    m_entryBox->setEnabled(box.editing);
    m_insertButton->setEnabled(box.editing);
    m_entryBox->setFont(box.editing ? ui::bookAntiqua(kPitchBoxPointSize, false) : ui::velkFont(kPitchBoxPointSize));
    m_entryBox->setText(pageText(box.text));
}

void PitchesWidget::showStaff(const pitches::NotatedLine& line)
{
    m_staff->setLine(line);
    const int row = m_sequenceGrid->row();
    m_staff->setCurrent(row >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(row)) : std::nullopt, true);
}

void PitchesWidget::showOctaveChoice(const OctaveChoice& choice)
{
    m_capitalOctave->setItemText(0, QStringLiteral("From the voices (%1)").arg(choice.fromVoices));
    m_capitalOctave->setCurrentIndex(choice.chosen ? *choice.chosen - pitches::kLowestCapitalOctave + 1 : 0);
    m_capitalOctave->setEnabled(choice.enabled);
}

void PitchesWidget::setFocus(FocusTarget target)
{
    if (target == FocusTarget::PitchBox) {
        m_entryBox->setFocus();
    } else {
        m_sequenceGrid->setFocus();
    }
}

} // namespace velk::movement
