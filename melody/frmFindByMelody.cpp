#include "melody/frmFindByMelody.h"

#include "melody/MelodySearch.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"

#include <QButtonGroup>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStringList>
#include <QVBoxLayout>

#include <vector>

std::function<void(const QString& title, const QString& text)> frmFindByMelody::messageHook;

namespace
{

const QString kMessageTitle = QStringLiteral("Velk - Find By Melody");

// Column widths of the result grid in twips.
constexpr int kColumnWidths[] = {1200, 1200, 1300, 1500};

QString joinCells(const std::vector<std::string>& cells)
{
    QStringList parts;
    for (const auto& cell : cells) {
        parts.append(QString::fromStdString(cell));
    }
    return parts.join(QLatin1Char('\t'));
}

} // namespace

frmFindByMelody::frmFindByMelody(QWidget* parent)
    : QDialog(parent)
{
    createControls();
    connectSignals();
}

frmFindByMelody::~frmFindByMelody() = default;

void frmFindByMelody::setConnectionString(const std::string& connectionString)
{
    m_connectionString = connectionString;
}

void frmFindByMelody::createControls()
{
    setObjectName(QStringLiteral("frmFindByMelody"));
    setWindowTitle(QStringLiteral("Find By Melody"));
    const QFont font = velk::ui::bookAntiqua(12, true);
    setFont(font);

    txtMelody = new QLineEdit(this);
    txtMelody->setObjectName(QStringLiteral("txtMelody"));
    txtMelody->setFont(font);
    txtMelody->setPlaceholderText(QStringLiteral("c d e f g"));

    cmdFind = new QPushButton(QStringLiteral("&Find"), this);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    cmdFind->setFont(font);
    // Enter in the melody box runs the search itself; a default button would run it a second time.
    cmdFind->setAutoDefault(false);
    cmdFind->setDefault(false);

    optExact = new QRadioButton(QStringLiteral("Exact spellings"), this);
    optExact->setObjectName(QStringLiteral("optExact"));
    optClasses = new QRadioButton(QStringLiteral("Same pitch classes"), this);
    optClasses->setObjectName(QStringLiteral("optClasses"));
    optTransposed = new QRadioButton(QStringLiteral("Transposed"), this);
    optTransposed->setObjectName(QStringLiteral("optTransposed"));
    auto* modes = new QButtonGroup(this);
    for (QRadioButton* option : {optExact, optClasses, optTransposed}) {
        option->setFont(font);
        modes->addButton(option);
    }
    optExact->setChecked(true);

    lblMelodyNote = new QLabel(QStringLiteral("The catalogue holds no pitch heights, so Transposed compares the steps "
                                              "between pitch classes: octave and direction are not told apart."),
                               this);
    lblMelodyNote->setObjectName(QStringLiteral("lblMelodyNote"));
    lblMelodyNote->setFont(velk::ui::bookAntiqua(10, false));
    lblMelodyNote->setWordWrap(true);

    fgMelodyResult = new velk::ui::FlexGrid(this);
    fgMelodyResult->setObjectName(QStringLiteral("fgMelodyResult"));
    fgMelodyResult->setFont(font);

    sbrMelodyCount = new QStatusBar(this);
    sbrMelodyCount->setObjectName(QStringLiteral("sbrMelodyCount"));
    sbrMelodyCount->setFont(font);
    sbrMelodyCount->setSizeGripEnabled(false);

    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(txtMelody, 1);
    entryRow->addWidget(cmdFind);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(optExact);
    optionRow->addWidget(optClasses);
    optionRow->addWidget(optTransposed);
    optionRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entryRow);
    layout->addLayout(optionRow);
    layout->addWidget(lblMelodyNote);
    layout->addWidget(fgMelodyResult, 1);
    layout->addWidget(sbrMelodyCount);
    resize(560, 480);
    SetupResultGrid();
}

void frmFindByMelody::connectSignals()
{
    connect(cmdFind, &QPushButton::clicked, this, &frmFindByMelody::find);
    connect(txtMelody, &QLineEdit::returnPressed, this, &frmFindByMelody::find);
}

void frmFindByMelody::SetupResultGrid()
{
    const auto& headers = velk::melody::resultHeaders();
    fgMelodyResult->setRows(0);
    fgMelodyResult->setCols(static_cast<int>(headers.size()));
    fgMelodyResult->clear();
    fgMelodyResult->addItem(joinCells(headers));
    fgMelodyResult->setFixedRows(1);
    fgMelodyResult->setFixedCols(0);
    for (int column = 0; column < static_cast<int>(headers.size()); ++column) {
        fgMelodyResult->setColWidth(column, kColumnWidths[column]);
    }
}

void frmFindByMelody::load()
{
    SetupResultGrid();
    txtMelody->clear();
    optExact->setChecked(true);
    sbrMelodyCount->clearMessage();
    txtMelody->setFocus();
}

void frmFindByMelody::find()
{
    const auto mode = optTransposed->isChecked() ? velk::melody::Mode::Transposed
        : optClasses->isChecked()                ? velk::melody::Mode::Classes
                                                 : velk::melody::Mode::Exact;
    // Bringing the melody index up to date first may take a while after another program changed many sequences.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto result = velk::melody::findMelody(m_connectionString, txtMelody->text().toStdString(), mode);
    QGuiApplication::restoreOverrideCursor();
    if (!result.ok) {
        showMessage(QString::fromStdString(result.message));
        return;
    }
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(result.rows.size()));
    for (const auto& row : result.rows) {
        rows.append(joinCells(row.cells()));
    }
    fgMelodyResult->setRows(1);
    fgMelodyResult->addItems(rows);
    sbrMelodyCount->showMessage(QString::fromStdString(result.statusText));
}

QString frmFindByMelody::statusText() const
{
    return sbrMelodyCount->currentMessage();
}

void frmFindByMelody::showMessage(const QString& text)
{
    if (messageHook) {
        messageHook(kMessageTitle, text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, kMessageTitle, text, QMessageBox::Ok, this);
    box.exec();
}

void frmFindByMelody::ShowFindByMelody(QWidget* owner, const std::string& connectionString)
{
    // One shared window for the whole program; it goes with its owner.
    static QPointer<frmFindByMelody> instance;
    if (!instance) {
        instance = new frmFindByMelody(owner);
    } else if (instance->parentWidget() != owner) {
        instance->setParent(owner, instance->windowFlags());
    }
    instance->setConnectionString(connectionString);
    instance->load();
    instance->exec();
}
