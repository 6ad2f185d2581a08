#pragma once

#include "rtf/RtfDocument.h"

#include <QTextEdit>

#include <string>

class QMimeData;
class QTextDocument;

namespace velk::ui
{

/// The text and the formats of a Qt document that a rich-text document holds: one paragraph per block, runs
/// with bold, italic, underline, font family, point size and colour, and the block's alignment; soft line
/// breaks become '\n', embedded objects are left out. Returns the canonical form (rtf::normalized); a
/// document with no text gives the empty document.
rtf::RtfDocument toRtfDocument(const QTextDocument& document);

/// Replaces the content of a Qt document with a rich-text document, one block per paragraph. Font families
/// are passed to Qt as they are named; the empty document leaves one empty block. The undo history is
/// cleared and the document is left unmodified.
void fillTextDocument(QTextDocument& document, const rtf::RtfDocument& content);

/// The rich-text box of the movement window: an editor whose whole content is read and written as RTF
/// markup. Its content holds only what rtf::RtfDocument can carry; pasted rich text is reduced to that.
/// Enabling and disabling is QWidget::setEnabled.
class RichTextBox : public QTextEdit
{
    Q_OBJECT

public:
    explicit RichTextBox(QWidget* parent = nullptr);

    /// The whole content as RTF markup (always RTF, also for an empty box).
    std::string textRtf() const;
    /// Shows RTF markup; text that is not RTF is shown as plain text, and the empty text empties the box.
    /// Malformed markup shows what can be read from it. The box is left unedited.
    void setTextRtf(const std::string& rtf);
    /// Shows a plain text (UTF-8, one paragraph per line) in the default format. The box is left unedited.
    void setPlainTextContent(const std::string& text);
    /// Whether the user changed the content since it was last set or marked saved.
    bool isEdited() const;
    /// Takes the present content as the unedited state.
    void markSaved();

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void showContent(const rtf::RtfDocument& content);
};

} // namespace velk::ui
