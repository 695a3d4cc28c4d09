// Runs end-to-end tests of the phone control in a QApplication on Qt's
// offscreen platform. The SIP stack keeps its files in a folder of the run
// and sends a generated tone: these tests need no sound server.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    setenv("PELEX_SIP_DATA_DIR", data.path().toLocal8Bit().constData(), 1);
    setenv("PELEX_SIP_AUDIO", "files", 0);
    setenv("PULSE_SERVER", "unix:/nonexistent", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
