#include "ui/Application.h"

#include "ui/Fonts.h"

#include <QApplication>

namespace velk::ui
{

void setupApplication()
{
    QApplication::setApplicationName(QStringLiteral("Velk"));
    installFontSubstitutions();
}

} // namespace velk::ui
