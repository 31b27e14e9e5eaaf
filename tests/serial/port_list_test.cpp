#include "serial/port_list.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace corvat {
namespace {

// A made-up sysfs: two USB adapters (one FTDI with a by-id name), a legacy UART with a chip, one without,
// a console UART, one named only by the active console list, and a virtual terminal.
class PortListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        Write("sys/devices/usb1/1-1/idVendor", "0403\n");
        Write("sys/devices/usb1/1-1/idProduct", "6001\n");
        Write("sys/devices/usb1/1-1/product", "FT232R USB UART\n");
        Write("sys/devices/usb1/1-1/manufacturer", "FTDI\n");
        Write("sys/devices/usb1/1-1/serial", "A50285BI\n");
        Write("sys/devices/usb1/1-1/1-1:1.0/ttyUSB2/uevent", "");
        Write("sys/devices/usb1/1-2/idVendor", "1a86\n");
        Write("sys/devices/usb1/1-2/idProduct", "7523\n");
        Write("sys/devices/usb1/1-2/1-2:1.0/ttyUSB10/uevent", "");
        Write("sys/devices/pnp/00:01/uevent", "");
        Tty("ttyUSB2", "../../../devices/usb1/1-1/1-1:1.0/ttyUSB2", "");
        Tty("ttyUSB10", "../../../devices/usb1/1-2/1-2:1.0/ttyUSB10", "");
        Tty("ttyS0", "../../../devices/pnp/00:01", "4");
        Tty("ttyS1", "../../../devices/pnp/00:01", "0");  // no chip in that slot
        Tty("ttyS2", "../../../devices/pnp/00:01", "4");
        Tty("ttyS3", "../../../devices/pnp/00:01", "4");
        Tty("tty1", "", "");
        Write("sys/class/tty/console/active", "tty1 ttyS3\n");
        Write("proc/consoles", "ttyS0                -W- (EC p a)    4:64\n");
        ASSERT_TRUE(QDir(root.path()).mkpath("dev/serial/by-id"));
        ASSERT_TRUE(QFile::link("../../ttyUSB2", At("dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0")));
    }

    QString At(const QString& path) const { return root.filePath(path); }
    void Write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(At(path)).path());
        QFile file(At(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void Tty(const QString& name, const QString& device, const QByteArray& type) {
        const QString folder = "sys/class/tty/" + name;
        Write(folder + "/dev", "4:64\n");
        if (!device.isEmpty()) {
            ASSERT_TRUE(QFile::link(device, At(folder + "/device")));
        }
        if (!type.isEmpty()) Write(folder + "/type", type + "\n");
    }

    QTemporaryDir root;
};

TEST_F(PortListTest, ListsHardwarePortsWithoutConsolesInNumberOrder) {
    const std::vector<ListedPort> ports =
        ListSerialPorts({At("sys/class/tty"), At("dev"), At("proc/consoles")});
    QStringList devices;
    for (const ListedPort& port : ports) devices << port.device;
    EXPECT_EQ(devices, QStringList({At("dev/ttyS2"), At("dev/ttyUSB2"), At("dev/ttyUSB10")}));
    ASSERT_EQ(ports.size(), 3U);
    const ListedPort& ftdi = ports[1];
    EXPECT_EQ(ftdi.product, "FT232R USB UART");
    EXPECT_EQ(ftdi.maker, "FTDI");
    EXPECT_EQ(ftdi.vendorId, 0x0403);
    EXPECT_EQ(ftdi.productId, 0x6001);
    EXPECT_EQ(ftdi.serialNumber, "A50285BI");
    EXPECT_EQ(ftdi.stableName, At("dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"));
    EXPECT_EQ(ports[2].vendorId, 0x1a86);
    EXPECT_TRUE(ports[2].stableName.isEmpty());
    EXPECT_FALSE(ports[0].vendorId.has_value()) << "a UART on the board has no USB facts";
}

TEST_F(PortListTest, MissingTreeListsNothing) {
    EXPECT_TRUE(ListSerialPorts({At("none"), At("none"), At("none")}).empty());
}

}  // namespace
}  // namespace corvat
