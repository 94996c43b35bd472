#include "gui/app/TFormScan.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TFormScan formScan;
    formScan.show();
    return app.exec();
}
