#pragma once

#include "gui/app/TFormScan.h"

#include <memory>

class TFormInfoList;
class TFormLiveDebug;
class TFormUnitInfo;

// The program's windows, made in the order the program has always made them (the main window
// first: its constructor runs the start-up sequence) and joined to one another. They live until
// the program ends; the main window goes last, as the others lean on the services it owns.
class AppWindows {
public:
    explicit AppWindows(const TFormScan::Options& options);
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    TFormScan& Scan() { return *FormScan; }
    TFormUnitInfo& UnitInfo() { return *FormUnitInfo; }
    TFormInfoList& InfoList() { return *FormInfoList; }
    TFormLiveDebug& LiveDebug() { return *FormLiveDebug; }

private:
    std::unique_ptr<TFormScan> FormScan;
    std::unique_ptr<TFormUnitInfo> FormUnitInfo;
    std::unique_ptr<TFormInfoList> FormInfoList;
    std::unique_ptr<TFormLiveDebug> FormLiveDebug;
};
