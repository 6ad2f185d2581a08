#include "pitches/PitchChartDialog.h"

#include "ui/Fonts.h"
#include "ui/MusicText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>

#include <array>
#include <string_view>

namespace velk::pitches
{

namespace
{

constexpr std::string_view kLetters = "CDEFGAB";
// Longest first, so that "**" is not read as "*" followed by a stray mark.
constexpr std::array<std::pair<std::string_view, int>, 5> kMarks
    = {{{"//", 0}, {"/", 1}, {"**", 4}, {"*", 3}, {"", 2}}};

constexpr double kSpellingPointSize = 11.0;
constexpr double kGlyphPointSize = 16.0;

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* plainLabel(const QString& text, const QFont& font, const QString& name, QWidget* parent)
{
    // A glyph's double sharp or double flat is drawn as legibly as its sharp or flat.
    auto* label = new ui::MusicLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    return label;
}

// One chart cell: the glyph in the pitch font with the spelling to type beside it.
QWidget* pitchCell(const std::string& spelling, const std::string& glyph)
{
    auto* cell = new QWidget;
    cell->setObjectName(QStringLiteral("cellPitch"));
    cell->setToolTip(QStringLiteral("Type %1 and press Enter").arg(fromUtf8(spelling)));
    auto* layout = new QHBoxLayout(cell);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->setSpacing(8);
    layout->addWidget(
        plainLabel(fromUtf8(glyph), ui::velkFont(kGlyphPointSize), QStringLiteral("lblPitchGlyph"), cell));
    layout->addWidget(plainLabel(fromUtf8(spelling), ui::bookAntiqua(kSpellingPointSize, false),
                                 QStringLiteral("lblPitchSpelling"), cell));
    layout->addStretch(1);
    return cell;
}

QTableWidget* readOnlyTable(const QString& name, QWidget* parent)
{
    auto* table = new QTableWidget(parent);
    table->setObjectName(name);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

} // namespace

std::optional<PitchChartCell> pitchChartCell(const std::string& spelling)
{
    if (spelling.empty()) {
        return std::nullopt;
    }
    const char letter = spelling.front();
    const bool upper = letter >= 'a' && letter <= 'g';
    const char capital = upper ? static_cast<char>(letter - 'a' + 'A') : letter;
    const auto letterIndex = kLetters.find(capital);
    if (letterIndex == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view mark = std::string_view(spelling).substr(1);
    for (const auto& [text, column] : kMarks) {
        if (mark == text) {
            return PitchChartCell {static_cast<int>(letterIndex) + (upper ? 7 : 0), column};
        }
    }
    return std::nullopt;
}

PitchChartDialog::PitchChartDialog(const Pitches& pitches, QWidget* parent)
    : QDialog(parent)
{
    setupUi();
    fill(pitches);
}

PitchChartDialog::~PitchChartDialog() = default;

void PitchChartDialog::setupUi()
{
    setObjectName(QStringLiteral("dlgPitchChart"));
    setWindowTitle(QStringLiteral("Pitch Spellings"));
    setFont(ui::bookAntiqua(kSpellingPointSize, false));

    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(QStringLiteral("Type the letter, capital for the lower register, then * for a sharp, "
                                           "** for a double sharp, / for a flat, // for a double flat; press Enter."),
                            this);
    help->setObjectName(QStringLiteral("lblPitchChartHelp"));
    help->setTextFormat(Qt::PlainText);
    help->setWordWrap(true);
    layout->addWidget(help);

    m_chart = readOnlyTable(QStringLiteral("tblPitchChart"), this);
    m_chart->setRowCount(kPitchChartRows);
    m_chart->setColumnCount(kPitchChartColumns);
    m_chart->setHorizontalHeaderLabels({QStringLiteral("//\ndouble flat"), QStringLiteral("/\nflat"),
                                        QStringLiteral("\nnatural"), QStringLiteral("*\nsharp"),
                                        QStringLiteral("**\ndouble sharp")});
    QStringList letters;
    for (const QString& set : {QStringLiteral("CDEFGAB"), QStringLiteral("cdefgab")}) {
        for (const QChar letter : set) {
            letters << QString(letter);
        }
    }
    m_chart->setVerticalHeaderLabels(letters);
    layout->addWidget(m_chart, 1);

    auto* othersCaption = new QLabel(QStringLiteral("Other spellings:"), this);
    othersCaption->setObjectName(QStringLiteral("lblOtherSpellings"));
    m_othersCaption = othersCaption;
    layout->addWidget(othersCaption);
    m_others = readOnlyTable(QStringLiteral("tblOtherSpellings"), this);
    m_others->setColumnCount(2);
    m_others->setItemDelegate(new ui::MusicTextDelegate(m_others));
    m_others->setHorizontalHeaderLabels({QStringLiteral("Pitch"), QStringLiteral("Type")});
    m_others->verticalHeader()->hide();
    layout->addWidget(m_others);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("bbxPitchChart"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void PitchChartDialog::fill(const Pitches& pitches)
{
    for (const auto& [spelling, glyph] : pitches) {
        const auto cell = pitchChartCell(spelling);
        if (cell && m_chart->cellWidget(cell->row, cell->column) == nullptr) {
            m_chart->setCellWidget(cell->row, cell->column, pitchCell(spelling, glyph));
        } else {
            addOtherSpelling(spelling, glyph);
        }
    }
    const bool anyOthers = m_others->rowCount() > 0;
    m_othersCaption->setVisible(anyOthers);
    m_others->setVisible(anyOthers);
}

void PitchChartDialog::addOtherSpelling(const std::string& spelling, const std::string& glyph)
{
    const int row = m_others->rowCount();
    m_others->insertRow(row);
    auto* glyphItem = new QTableWidgetItem(fromUtf8(glyph));
    glyphItem->setFont(ui::velkFont(kGlyphPointSize));
    m_others->setItem(row, 0, glyphItem);
    m_others->setItem(row, 1, new QTableWidgetItem(fromUtf8(spelling)));
}

} // namespace velk::pitches
