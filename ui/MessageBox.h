#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace velk::ui
{

/// The picture a message box shows beside its text.
enum class BoxIcon
{
    None,
    Warning,
    Critical,
    Question
};

/// A message as a box shows it: a question has Yes and No (No the default), anything else OK.
struct BoxMessage
{
    QString title;
    QString text;
    BoxIcon icon = BoxIcon::None;
    bool question = false;
};

/// Answers message boxes instead of showing them (for tests and tools that drive the windows): receives each
/// message and returns the answer, true for Yes.
using MessageBoxHook = std::function<bool(const BoxMessage&)>;

/// Every window's message box: shows the message modally over parent, or hands it to the hook when one is set.
/// Returns true when a question was answered Yes; false for No and for messages that only tell.
bool showMessageBox(QWidget* parent, const BoxMessage& message);

/// Sets the hook that answers every following box (nullptr shows boxes again).
void setMessageBoxHook(MessageBoxHook hook);

} // namespace velk::ui
