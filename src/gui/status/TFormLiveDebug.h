#pragma once

#include <QDateTime>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class MainClass;
class QListWidget;
class QPushButton;

// "Live Debug": the text lines a serially connected device prints. Every line is kept in Lines,
// stamped with the time it arrived, from start-up (or the last "Clear Log") on; the list shows the
// lines that arrive while the window is open. "Save To File" appends all kept lines to a file.
class TFormLiveDebug : public QDialog {
    Q_OBJECT
public:
    explicit TFormLiveDebug(MainClass& main, QWidget* parent = nullptr);
    ~TFormLiveDebug() override;

    // Connects to the serial port's text lines; done by the constructor when the transport
    // exists, otherwise call it once it does. Calling it again does nothing.
    void ConnectTransport();

    // A device text line as the serial port delivers it: stamped with the time, kept, and shown
    // when the window is open.
    void AddSerialTextLine(const QString& text);
    // Appends a stamped line to the list and selects it, so the list follows the newest line.
    void AddLiveDebugLine(const QString& line);
    // "Clear Log": empties the list and the kept lines.
    void ClearLog();
    // "Save To File": asks for a file and appends every kept line to it.
    void SaveToFile();
    // Appends every kept line, each ended with a line feed; false when the file could not be written.
    bool SaveLinesToFile(const QString& path) const;
    // "Q7_Live_Debug_" + yyyymmdd_hhnnss + ".log"
    static QString DefaultFileName(const QDateTime& now);
    // "yyyy-mm-dd hh:nn:ss.zzz: " + text
    static QString StampedLine(const QDateTime& time, const QString& text);

    const QStringList& Lines() const { return KeptLines; }
    QListWidget* LogList() const { return List; }
    QPushButton* CloseButton() const { return CloseBtn; }
    QPushButton* ClearButton() const { return Clear; }
    QPushButton* SaveButton() const { return Save; }

    // The save dialog, replaceable so tests can answer it: gets the proposed path and the filter,
    // returns the chosen path or empty.
    std::function<QString(QWidget* parent, const QString& proposedPath, const QString& filter)>
        ChooseSaveFile;

private:
    MainClass& Main;
    bool TransportConnected = false;
    QStringList KeptLines;
    QListWidget* List = nullptr;
    QPushButton* CloseBtn = nullptr;
    QPushButton* Clear = nullptr;
    QPushButton* Save = nullptr;
};
