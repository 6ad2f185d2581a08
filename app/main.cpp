#include "movement/frmMovement.h"
#include "ui/Application.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();

    // The catalogue is Velk.db in the working directory.
    frmMovement window;
    const auto outcome = window.load();
    if (!outcome) {
        QMessageBox::critical(nullptr, QStringLiteral("Velk"), QString::fromStdString(outcome.message));
        return 1;
    }
    window.show();
    return app.exec();
}
