#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

namespace velk::tabulations
{

/// A bar chart of a movement's pitch classes: one bar per class with its percentage above it and the class's
/// glyph (in the pitch font) under it, a dashed line at the even spread of 8.33 %, and a y axis that reaches the
/// largest percentage (at least 20 %). Bars above the even spread and bars below it have different colours. It
/// only shows what it is given.
class ClassChart : public QWidget
{
    Q_OBJECT

public:
    explicit ClassChart(QWidget* parent = nullptr);
    ~ClassChart() override;

    /// The percentage at which the dashed line is drawn.
    static constexpr double kEvenSpread = 8.33;
    /// The lowest top of the y axis, in percent.
    static constexpr double kMinimumScale = 20.0;

    /// Shows one bar per entry, in order (normally twelve): the glyph text and the percentage (0 to 100) of the
    /// class. Negative or non-finite percentages are drawn as 0.
    void setClasses(const std::vector<std::pair<QString, double>>& glyphAndPercent);
    /// Shows no bars: the axis and the even-spread line only.
    void clear();

    /// The classes as last given (empty after clear()).
    const std::vector<std::pair<QString, double>>& classes() const;
    /// The top of the y axis in percent: the largest percentage rounded up to a multiple of 5, at least 20.
    double scaleTop() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<std::pair<QString, double>> m_classes;
};

} // namespace velk::tabulations
