#include "serial/port_names.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace corvat {
namespace {

// A program folder with ports/COM2 as a plain file, ports/COM3 as a link to it and ports/COM4 as a
// link to nothing.
class PortNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        appDir = folder.path() + "/";
        ASSERT_TRUE(QDir(appDir).mkpath("ports"));
        QFile com2(appDir + "ports/COM2");
        ASSERT_TRUE(com2.open(QIODevice::WriteOnly));
        ASSERT_TRUE(QFile::link(appDir + "ports/COM2", appDir + "ports/COM3"));
        ASSERT_TRUE(QFile::link(appDir + "ports/missing", appDir + "ports/COM4"));
    }

    QTemporaryDir folder;
    QString appDir;
};

TEST_F(PortNamesTest, MapsEveryKindOfPortText) {
    struct Row {
        const char* name;
        QString portText;
        std::uint8_t number;
        QString device;
    };
    const Row rows[] = {
        {"DevicePath", "/dev/ttyUSB0", 0, "/dev/ttyUSB0"},
        {"DevicePathWithoutDigit", "/tmp/vport", 0, "/tmp/vport"},
        {"NamedFile", "COM2", 2, appDir + "ports/COM2"},
        {"NamedLink", "COM3", 3, appDir + "ports/COM3"},
        {"DanglingLinkStaysChosen", "COM4", 4, appDir + "ports/COM4"},
        {"UnnamedFirst", "COM1", 1, "/dev/ttyS0"},
        {"UnnamedSixth", "COM6", 6, "/dev/ttyS5"},
        {"PortZeroCannotExist", "COM10", 0, "/dev/ttyS-1"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DeviceForPort(row.portText, row.number, appDir), row.device) << row.name;
    EXPECT_FALSE(QFile::exists(DeviceForPort("COM0", 0, appDir)));
}

}  // namespace
}  // namespace corvat
