#pragma once

#include <QApplication>
#include <QByteArray>

// The one QApplication of the benchmark binary, made on first use and never destroyed: widgets
// torn down by static destructors after main() has returned would outlive Qt's own globals.
inline QApplication& benchApplication() {
    static int argc = 1;
    static char name[] = "termovel_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}
