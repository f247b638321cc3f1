// SPDX-License-Identifier: GPL-3.0-or-later
// main() for GUI tests: one QApplication for the whole run, on the X display
// that test.sh provides.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
