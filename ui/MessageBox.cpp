#include "ui/MessageBox.h"

#include <QMessageBox>

namespace velk::ui
{

namespace
{

MessageBoxHook& currentHook()
{
    static MessageBoxHook instance;
    return instance;
}

QMessageBox::Icon boxIcon(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Critical:
        return QMessageBox::Critical;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

bool showMessageBox(QWidget* parent, const BoxMessage& message)
{
    if (currentHook()) {
        return currentHook()(message) && message.question;
    }
    if (!message.question) {
        QMessageBox box(boxIcon(message.icon), message.title, message.text, QMessageBox::Ok, parent);
        box.exec();
        return false;
    }
    QMessageBox box(boxIcon(message.icon), message.title, message.text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void setMessageBoxHook(MessageBoxHook hook)
{
    currentHook() = std::move(hook);
}

} // namespace velk::ui
