#include "movement/DataGrid.h"
#include "movement/MovementController.h"
#include "movement/PageWidgets.h"
#include "ui/Fonts.h"
#include "ui/RichTextBox.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QVBoxLayout>

namespace velk::movement
{
QString pageText(const std::string& text)
{
    return QString::fromStdString(text);
}

QLabel* pageLabel(const char* objectName, const char* text, QWidget* parent)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(objectName));
    return l;
}

// -------------------------------------------------------------------------------------------------------------
// Bound boxes

BoundFieldsWidget::BoundFieldsWidget(QWidget* parent)
    : QWidget(parent)
{
}

void BoundFieldsWidget::attach(MovementController& controller)
{
    m_controller = &controller;
}

QLineEdit* BoundFieldsWidget::addBoundText(const MovementField& field)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(field.controlName));
    box->setFont(ui::bookAntiqua(12, false));
    m_boundTexts.push_back({box, field.column});
    const char* column = field.column;
    connect(box, &QLineEdit::textEdited, this,
            [this, column](const QString& text) { m_controller->SetBoundText(column, text.toStdString()); });
    box->installEventFilter(this);
    return box;
}

QCheckBox* BoundFieldsWidget::addBoundCheck(const MovementField& field)
{
    auto* box = new QCheckBox(QString::fromUtf8(field.label), this);
    box->setObjectName(QString::fromLatin1(field.controlName));
    m_boundChecks.push_back({box, field.column});
    const char* column = field.column;
    connect(box, &QCheckBox::clicked, this,
            [this, column](bool checked) { m_controller->SetBoundCheck(column, checked); });
    return box;
}

bool BoundFieldsWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        // A bound box left after an edit shows the start of its text again, as it does on every record.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (auto* box = qobject_cast<QLineEdit*>(watched);
            box && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            box->setCursorPosition(0);
        }
    }
    return false;
}

void BoundFieldsWidget::showBoundFields()
{
    const auto& records = m_controller->records();
    for (const auto& bound : m_boundTexts) {
        const QString text = pageText(records.BoundText(bound.column));
        if (bound.box->text() != text) {
            QSignalBlocker block(bound.box);
            bound.box->setText(text);
        }
        // A box too narrow for its text shows the start of it, not the end.
        if (!bound.box->hasFocus()) {
            bound.box->setCursorPosition(0);
        }
    }
    for (const auto& bound : m_boundChecks) {
        QSignalBlocker block(bound.box);
        bound.box->setChecked(records.BoundCheck(bound.column));
    }
}

bool BoundFieldsWidget::focusField(const std::string& column)
{
    for (const auto& bound : m_boundTexts) {
        if (column == bound.column) {
            bound.box->setFocus(Qt::OtherFocusReason);
            bound.box->selectAll();
            return true;
        }
    }
    return false;
}

// -------------------------------------------------------------------------------------------------------------
// The subjects page

SubjectsWidget::SubjectsWidget(QWidget* parent)
    : BoundFieldsWidget(parent)
{
    setObjectName(QStringLiteral("fraMovementSubjects"));
    auto* layout = new QGridLayout(this);
    int row = 0;
    for (const auto& field : movementFields()) {
        if (field.page != FieldPage::Subjects) {
            continue;
        }
        layout->addWidget(pageLabel(field.labelName, field.label, this), row, 0,
                          field.kind == FieldKind::RichText ? Qt::AlignTop : Qt::Alignment());
        if (field.kind == FieldKind::RichText) {
            m_comments = new ui::RichTextBox(this);
            m_comments->setObjectName(QString::fromLatin1(field.controlName));
            m_comments->setFont(ui::bookAntiqua(12, false));
            layout->addWidget(m_comments, row, 1);
            layout->setRowStretch(row, 1);
        } else {
            layout->addWidget(addBoundText(field), row, 1);
        }
        ++row;
    }
    layout->setColumnStretch(1, 1);
}

ui::RichTextBox* SubjectsWidget::comments() const
{
    return m_comments;
}

// -------------------------------------------------------------------------------------------------------------
// The movement data page

MovementDataWidget::MovementDataWidget(SubjectsWidget& subjects, QWidget* parent)
    : BoundFieldsWidget(parent)
    , m_subjects(subjects)
{
    setObjectName(QStringLiteral("fraMovementData"));
    auto* splitter = new QSplitter(Qt::Vertical, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(splitter);

    m_movementsGrid = new DataGrid(splitter);
    m_movementsGrid->setObjectName(QStringLiteral("dbgMovements"));
    m_movementsGrid->setFont(ui::bookAntiqua(12, true));
    m_movementsGrid->setRequestMove([this](std::size_t row) { return m_controller->GridRowChosen(row); });
    splitter->addWidget(m_movementsGrid);

    auto* lower = new QWidget(splitter);
    auto* lowerLayout = new QHBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);

    auto* fields = new QWidget(lower);
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    auto* voices = new QGroupBox(fields);
    voices->setObjectName(QStringLiteral("fraVoices"));
    auto* voiceLayout = new QGridLayout(voices);
    voiceLayout->addWidget(pageLabel("lblVoice", "Voice Parts", voices), 0, 0, 1, 2);
    int row = 0;
    int voice = 0;
    QLineEdit* first = nullptr;
    for (const auto& field : movementFields()) {
        if (field.page != FieldPage::MovementData) {
            continue;
        }
        if (field.kind == FieldKind::WholeNumber || field.kind == FieldKind::Text) {
            grid->addWidget(pageLabel(field.labelName, field.label, fields), row, 0);
            auto* box = addBoundText(field);
            first = first ? first : box;
            grid->addWidget(box, row++, 1);
        } else if (field.kind == FieldKind::Check) {
            // Two voices a line, the last (accompanied) on a line of its own.
            auto* box = addBoundCheck(field);
            const bool last = field.column == std::string_view("chkAccompanied");
            voiceLayout->addWidget(box, 1 + voice / 2, voice % 2, 1, last ? 2 : 1);
            ++voice;
        }
    }
    // The column of boxes is wide enough for a whole date line such as "TC 1723 / FP 25 Dec 1723".
    const QFontMetrics metrics(ui::bookAntiqua(12, false));
    first->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("TC 0000 / FP 00 Dec 0000")) + 16);
    grid->addWidget(voices, row, 0, 1, 2);
    grid->setRowStretch(row + 1, 1);

    auto* description = new QWidget(lower);
    auto* descriptionLayout = new QVBoxLayout(description);
    descriptionLayout->setContentsMargins(0, 0, 0, 0);
    descriptionLayout->addWidget(pageLabel("lblComments", "Dremm's Handbook", description));
    m_description = new ui::RichTextBox(description);
    m_description->setObjectName(QStringLiteral("txtDescription"));
    m_description->setFont(ui::bookAntiqua(12, false));
    descriptionLayout->addWidget(m_description, 1);

    lowerLayout->addWidget(fields, 0);
    lowerLayout->addWidget(description, 1);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
}

void MovementDataWidget::attach(MovementController& controller)
{
    BoundFieldsWidget::attach(controller);
    m_subjects.attach(controller);
}

DataGrid* MovementDataWidget::grid() const
{
    return m_movementsGrid;
}

void MovementDataWidget::setMovementFieldsEnabled(bool enabled)
{
    // The classic order of the fields; only the enabled flags change.
    for (const auto* field : fieldsInEnableOrder()) {
        const QString name = QString::fromLatin1(field->controlName);
        auto* control = findChild<QWidget*>(name);
        if (!control) {
            control = m_subjects.findChild<QWidget*>(name);
        }
        if (control) {
            control->setEnabled(enabled);
        }
    }
}

void MovementDataWidget::showBoundFields()
{
    BoundFieldsWidget::showBoundFields();
    m_subjects.showBoundFields();
}

void MovementDataWidget::syncMovementGrid(std::optional<std::size_t> row)
{
    if (m_movementsGrid->movementModel()) {
        m_movementsGrid->syncToCurrent(row);
    }
}

ui::RichTextBox* MovementDataWidget::richBox(RichBox box) const
{
    return box == RichBox::Description ? m_description : m_subjects.comments();
}

void MovementDataWidget::setRichText(RichBox box, const std::string& rtf)
{
    richBox(box)->setTextRtf(rtf);
}

void MovementDataWidget::setRichPlainText(RichBox box, const std::string& text)
{
    richBox(box)->setPlainTextContent(text);
}

std::optional<std::string> MovementDataWidget::editedRichText(RichBox box)
{
    auto* rich = richBox(box);
    if (!rich->isEdited()) {
        return std::nullopt;
    }
    return rich->textRtf();
}

void MovementDataWidget::markRichTextSaved(RichBox box)
{
    richBox(box)->markSaved();
}

void MovementDataWidget::focusField(const std::string& field)
{
    if (!BoundFieldsWidget::focusField(field)) {
        m_subjects.focusField(field);
    }
}

void MovementDataWidget::setFocus(FocusTarget target)
{
    const char* name = target == FocusTarget::Sub1 ? "txtSub1" : "txtKTN";
    auto* box = findChild<QLineEdit*>(QString::fromLatin1(name));
    if (!box) {
        box = m_subjects.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    box->setFocus();
}

} // namespace velk::movement
