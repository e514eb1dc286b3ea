#include "config/config_files.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvin"));
    // Everything the program reads and writes lives under the directory it was started from.
    SetProgramDir(QDir::currentPath());

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Talvin v1.7.0 beta"));
    window.resize(800, 600);
    window.show();
    return app.exec();
}
