#pragma once

#include <QMainWindow>

class TFormScan : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormScan(QWidget* parent = nullptr);
};
