// Runs end-to-end tests of the phone (its control, or its engine and audio
// dialog) whose sound goes through the devices of a sound server the test
// starts (not the stack's file test mode), in a QApplication on Qt's
// offscreen platform. The SIP stack keeps its files in a folder of the run.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

// Allocations are unwound precisely, through libraries built without frame
// pointers, so that the leak report sees the library frames that
// tests/lsan.supp names.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    setenv("PELEX_SIP_DATA_DIR", data.path().toLocal8Bit().constData(), 1);
    unsetenv("PELEX_SIP_AUDIO");  // the phone's sound goes through the sound server's devices
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
