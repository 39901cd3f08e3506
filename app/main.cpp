#include "framework/resourcemodule.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Every text, menu and picture of the program comes from the resource module; a missing or
    // damaged one has already been reported and replaced by the built-in table.
    CResourceModule& resources = CResourceModule::Get();
    resources.Load(CResourceModule::LocateModule(app.arguments()));

    QMainWindow window;
    window.setWindowTitle(resources.LoadString(57344));
    window.show();
    return app.exec();
}
