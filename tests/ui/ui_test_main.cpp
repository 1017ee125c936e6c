#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    // Headless also when run by hand or listed for discovery.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
