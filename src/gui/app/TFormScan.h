#pragma once

#include <QMainWindow>

class MainClass;
class QLabel;
class QPushButton;
class QTimer;

// The main window. Its constructor runs the program's start-up sequence; the unit list, discovery
// and the connect buttons live here.
class TFormScan : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        QString WorkDir;
    };

    explicit TFormScan(const Options& options, QWidget* parent = nullptr);
    explicit TFormScan(QWidget* parent = nullptr) : TFormScan(Options{}, parent) {}
    ~TFormScan() override;

    MainClass& Main() { return *MainObject; }

private:
    void ApplyScreenSize();
    void OnTimer();

    MainClass* MainObject = nullptr;
    QTimer* Timer = nullptr;
    QLabel* VersionLabel = nullptr;
    QList<QPushButton*> CommandButtons;
};
