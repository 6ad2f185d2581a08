#include "ui/Fonts.h"

#include <QStringList>

namespace velk::ui
{

namespace
{

void substitute(const char* family, const char* standIn)
{
    const QString name = QString::fromLatin1(family);
    const QString replacement = QString::fromLatin1(standIn);
    // The font database keeps substitutions in lower case.
    if (!QFont::substitutes(name).contains(replacement, Qt::CaseInsensitive)) {
        QFont::insertSubstitution(name, replacement);
    }
}

} // namespace

void installFontSubstitutions()
{
    substitute(kBookAntiqua, kBookAntiquaStandIn);
    substitute(kVelkFont, kVelkFontStandIn);
}

QFont bookAntiqua(double pointSize, bool bold)
{
    QFont font(QString::fromLatin1(kBookAntiqua));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QFont velkFont(double pointSize)
{
    QFont font(QString::fromLatin1(kVelkFont));
    font.setPointSizeF(pointSize);
    font.setBold(false);
    return font;
}

} // namespace velk::ui
