#include "legacy/ImportOffer.h"
#include "movement/frmMovement.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();

    // The catalogue is Velk.db in the working directory; an old Velk.mdb there is offered for taking over first.
    velk::legacy::ImportOffer(QDir::currentPath().toStdString(), velk::legacy::importProgram()).run();

    velk::movement::frmMovement window;
    const auto outcome = window.load();
    if (!outcome) {
        velk::ui::showMessageBox(
            nullptr, {QStringLiteral("Velk"), QString::fromStdString(outcome.message()), velk::ui::BoxIcon::Critical});
        return 1;
    }
    window.show();
    return app.exec();
}
