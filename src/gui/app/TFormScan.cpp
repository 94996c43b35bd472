#include "gui/app/TFormScan.h"

TFormScan::TFormScan(QWidget* parent) : QMainWindow(parent) {}
