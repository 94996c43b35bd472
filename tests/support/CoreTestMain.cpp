#include "core/app/DebugLog.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Tests that want log lines capture them; the rest must not leave a log in the working directory.
    DebugLog::instance().setCountdown(0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
