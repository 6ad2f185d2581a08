#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QShortcut;
class QSpinBox;
class QTimer;

namespace velk::sound
{

/// The play controls of a window: Play (F5), Stop (Shift+F5, or Escape while playing) and the tempo in beats a
/// minute. The keys work wherever the focus is in the window while the bar is shown. While a line plays the bar
/// ticks, so that its window can follow the note sounding and learn when the line has ended.
class PlaybackBar : public QWidget
{
    Q_OBJECT

public:
    explicit PlaybackBar(QWidget* parent);

    /// The tempo chosen, in beats a minute.
    int tempo() const;
    /// The bar's only control that takes the focus (the buttons never do), for the window's tab order.
    QWidget* tempoBox() const;
    /// Whether a line plays: Stop and the ticks only then.
    void setPlaying(bool playing);
    bool isPlaying() const;
    /// A line under the controls for what plays or why nothing does, in a window without a status line of its
    /// own; hidden while empty.
    void showStatus(const QString& text);

signals:
    /// Play was clicked or its key pressed, with the tempo chosen.
    void playRequested(int tempo);
    void stopRequested();
    /// About 25 times a second while playing.
    void tick();

private:
    void requestPlay();
    void requestStop();

    QPushButton* m_playButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QSpinBox* m_tempoBox = nullptr;
    QLabel* m_status = nullptr;
    QShortcut* m_escape = nullptr;
    QTimer* m_timer = nullptr;
};

} // namespace velk::sound
