#include "sound/PlaybackBar.h"

#include "sound/Beats.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace velk::sound
{
namespace
{

constexpr int kTickMilliseconds = 40;

QPushButton* barButton(const char* objectName, const char* caption, const char* toolTip, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setToolTip(QString::fromUtf8(toolTip));
    // A click leaves the focus where it was (the grid, whose current row follows the line).
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    // A window may give its closed fields their ink when disabled; a disabled button must still look it.
    QPalette palette = button->palette();
    palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                     QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText));
    button->setPalette(palette);
    return button;
}

} // namespace

PlaybackBar::PlaybackBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PlaybackBar"));
    m_playButton = barButton("cmdPlay", "\u25B6 Play", "Play from the selected note (F5)", this);
    m_stopButton = barButton("cmdStop", "\u25A0 Stop", "Stop playing (Shift+F5 or Esc)", this);
    m_stopButton->setEnabled(false);
    auto* tempoLabel = new QLabel(QStringLiteral("Tempo"), this);
    tempoLabel->setObjectName(QStringLiteral("lblTempo"));
    m_tempoBox = new QSpinBox(this);
    m_tempoBox->setObjectName(QStringLiteral("txtTempo"));
    m_tempoBox->setRange(kSlowestTempo, kFastestTempo);
    m_tempoBox->setValue(kDefaultTempo);
    m_tempoBox->setSuffix(QStringLiteral(" a minute"));
    m_tempoBox->setToolTip(QStringLiteral("Beats a minute, one note a beat; used from the next Play"));
    tempoLabel->setBuddy(m_tempoBox);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblPlayStatus"));
    m_status->setWordWrap(true);
    m_status->hide();

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_playButton);
    controls->addWidget(m_stopButton);
    controls->addSpacing(8);
    controls->addWidget(tempoLabel);
    controls->addWidget(m_tempoBox);
    controls->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(m_status);

    // The keys belong to the window the bar is shown in, not to the button, which never has the focus.
    auto* play = new QShortcut(QKeySequence(Qt::Key_F5), this);
    auto* stop = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5), this);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_escape->setEnabled(false);
    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMilliseconds);

    connect(m_playButton, &QPushButton::clicked, this, &PlaybackBar::requestPlay);
    connect(play, &QShortcut::activated, this, &PlaybackBar::requestPlay);
    connect(m_stopButton, &QPushButton::clicked, this, &PlaybackBar::requestStop);
    connect(stop, &QShortcut::activated, this, &PlaybackBar::requestStop);
    connect(m_escape, &QShortcut::activated, this, &PlaybackBar::requestStop);
    connect(m_timer, &QTimer::timeout, this, &PlaybackBar::tick);
}

int PlaybackBar::tempo() const
{
    return m_tempoBox->value();
}

QWidget* PlaybackBar::tempoBox() const
{
    return m_tempoBox;
}

void PlaybackBar::setPlaying(bool playing)
{
    m_stopButton->setEnabled(playing);
    m_escape->setEnabled(playing);
    if (playing) {
        m_timer->start();
    } else {
        m_timer->stop();
    }
}

bool PlaybackBar::isPlaying() const
{
    return m_timer->isActive();
}

void PlaybackBar::showStatus(const QString& text)
{
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

void PlaybackBar::requestPlay()
{
    if (m_playButton->isEnabled()) {
        emit playRequested(tempo());
    }
}

void PlaybackBar::requestStop()
{
    emit stopRequested();
}

} // namespace velk::sound
