#include "movement/frmMovement.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();

    // The catalogue is Velk.db in the working directory.
    frmMovement window;
    const auto outcome = window.load();
    if (!outcome) {
        velk::ui::showMessageBox(
            nullptr, {QStringLiteral("Velk"), QString::fromStdString(outcome.message), velk::ui::BoxIcon::Critical});
        return 1;
    }
    window.show();
    return app.exec();
}
