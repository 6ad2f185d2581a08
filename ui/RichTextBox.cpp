#include "ui/RichTextBox.h"

#include "rtf/Rtf.h"

#include <QMimeData>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cmath>
#include <optional>

namespace velk::ui
{

namespace
{

const QStringList& rtfMimeTypes()
{
    static const QStringList types {QStringLiteral("text/rtf"), QStringLiteral("application/rtf"),
                                    QStringLiteral("text/richtext")};
    return types;
}

Qt::Alignment toQt(rtf::Alignment alignment)
{
    switch (alignment) {
    case rtf::Alignment::Left:
        return Qt::AlignLeft;
    case rtf::Alignment::Center:
        return Qt::AlignHCenter;
    case rtf::Alignment::Right:
        return Qt::AlignRight;
    case rtf::Alignment::Justify:
        return Qt::AlignJustify;
    }
    return Qt::AlignLeft;
}

rtf::Alignment fromQt(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignHCenter) {
        return rtf::Alignment::Center;
    }
    if (alignment & Qt::AlignJustify) {
        return rtf::Alignment::Justify;
    }
    if (alignment & Qt::AlignRight) {
        return rtf::Alignment::Right;
    }
    return rtf::Alignment::Left;
}

QTextCharFormat toQt(const rtf::CharFormat& format)
{
    QTextCharFormat out;
    out.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(format.italic);
    out.setFontUnderline(format.underline);
    if (!format.fontFamily.empty()) {
        out.setFontFamilies(QStringList {QString::fromStdString(format.fontFamily)});
    }
    if (format.pointSize > 0) {
        out.setFontPointSize(format.pointSize);
    }
    if (format.color) {
        out.setForeground(QColor(format.color->red, format.color->green, format.color->blue));
    }
    return out;
}

rtf::CharFormat fromQt(const QTextCharFormat& format)
{
    rtf::CharFormat out;
    out.bold = format.fontWeight() > QFont::Medium;
    out.italic = format.fontItalic();
    out.underline = format.fontUnderline();
    const QStringList families = format.property(QTextFormat::FontFamilies).toStringList();
    if (!families.isEmpty()) {
        out.fontFamily = families.front().toStdString();
    }
    if (format.hasProperty(QTextFormat::FontPointSize)) {
        out.pointSize = format.fontPointSize();
    }
    if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().style() != Qt::NoBrush) {
        const QColor color = format.foreground().color();
        out.color = rtf::Color {static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
                                static_cast<std::uint8_t>(color.blue())};
    }
    return out;
}

// Qt breaks a line inside a block with U+2028; the model uses '\n'.
QString toQtText(const std::string& text)
{
    QString out = QString::fromStdString(text);
    out.replace(QLatin1Char('\n'), QChar::LineSeparator);
    out.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
    return out;
}

std::string fromQtText(QString text)
{
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.remove(QChar::ObjectReplacementCharacter);
    return text.toStdString();
}

} // namespace

rtf::RtfDocument toRtfDocument(const QTextDocument& document)
{
    rtf::RtfDocument content;
    if (document.isEmpty()) {
        return content;
    }
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        rtf::Paragraph paragraph;
        const QTextBlockFormat blockFormat = block.blockFormat();
        if (blockFormat.hasProperty(QTextFormat::BlockAlignment)) {
            paragraph.alignment = fromQt(blockFormat.alignment());
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid()) {
                paragraph.runs.push_back(rtf::Run {fromQtText(fragment.text()), fromQt(fragment.charFormat())});
            }
        }
        content.paragraphs.push_back(std::move(paragraph));
    }
    return rtf::normalized(std::move(content));
}

void fillTextDocument(QTextDocument& document, const rtf::RtfDocument& content)
{
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextCursor cursor(&document);
    bool first = true;
    for (const auto& paragraph : content.paragraphs) {
        QTextBlockFormat blockFormat;
        if (paragraph.alignment) {
            blockFormat.setAlignment(toQt(*paragraph.alignment));
        }
        if (first) {
            cursor.setBlockFormat(blockFormat);
            first = false;
        } else {
            cursor.insertBlock(blockFormat, QTextCharFormat());
        }
        for (const auto& run : paragraph.runs) {
            cursor.insertText(toQtText(run.text), toQt(run.format));
        }
    }
    document.setUndoRedoEnabled(true);
    document.setModified(false);
}

RichTextBox::RichTextBox(QWidget* parent)
    : QTextEdit(parent)
{
    setAcceptRichText(true);
}

std::string RichTextBox::textRtf() const
{
    return rtf::writeRtf(toRtfDocument(*document()));
}

void RichTextBox::setTextRtf(const std::string& rtf)
{
    showContent(rtf::parseRtf(rtf));
}

void RichTextBox::setPlainTextContent(const std::string& text)
{
    showContent(rtf::documentFromPlainText(text));
}

bool RichTextBox::isEdited() const
{
    return document()->isModified();
}

void RichTextBox::markSaved()
{
    document()->setModified(false);
}

bool RichTextBox::canInsertFromMimeData(const QMimeData* source) const
{
    for (const QString& type : rtfMimeTypes()) {
        if (source->hasFormat(type)) {
            return true;
        }
    }
    return QTextEdit::canInsertFromMimeData(source);
}

void RichTextBox::insertFromMimeData(const QMimeData* source)
{
    // Rich text comes in through the document model, so the box never holds formats it cannot save.
    std::optional<rtf::RtfDocument> content;
    for (const QString& type : rtfMimeTypes()) {
        if (source->hasFormat(type)) {
            content = rtf::parseRtf(source->data(type).toStdString());
            break;
        }
    }
    if (!content && source->hasHtml()) {
        QTextDocument scratch;
        scratch.setHtml(source->html());
        content = toRtfDocument(scratch);
    }
    if (!content) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QTextDocument clean;
    fillTextDocument(clean, *content);
    textCursor().insertFragment(QTextDocumentFragment(&clean));
    ensureCursorVisible();
}

void RichTextBox::showContent(const rtf::RtfDocument& content)
{
    fillTextDocument(*document(), content);
    setTextCursor(QTextCursor(document()));
}

} // namespace velk::ui
