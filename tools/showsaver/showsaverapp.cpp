#include "showsaverapp.h"

#include <QApplication>

#include "showsavermainwindow.h"

int runShowsaver(int& argc, char** argv) {
    QApplication app(argc, argv);
    // Closing the window (the only one) ends the event loop, like the Exit
    // button and File > Exit.
    ShowsaverMainWindow window;
    window.show();
    return QApplication::exec();
}
