// The serial link's own help on a real pseudo-terminal: the low-latency request and the doctor's text.
#include <fcntl.h>
#include <linux/serial.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdlib>

#include "protocol/loader.h"
#include "serial/qserial_link.h"
#include "support/recording_view.h"

namespace corvat {
namespace {

// The far end of a pseudo-terminal pair, kept open so that the near end can be opened.
class Pty {
  public:
    Pty() {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd >= 0 && (::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Pty() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return m_fd >= 0; }
    QString SlavePath() const { return QString::fromLocal8Bit(::ptsname(m_fd)); }

  private:
    int m_fd = -1;
};

// Stands in for a driver's serial flags: an FTDI adapter's accepts the request, others refuse it or
// keep no flags at all.
class DriverFlags : public SerialFlags {
  public:
    std::optional<int> Get(int) override { return flags; }
    bool Set(int, int value) override {
        ++sets;
        if (refuses) return false;
        flags = value;
        return true;
    }

    std::optional<int> flags;
    bool refuses = false;
    int sets = 0;
};

TEST(QSerialLinkLowLatencyTest, AskedOnOpenAndPutBackOnClose) {
    constexpr int kOther = ASYNC_SKIP_TEST;  // a flag of the driver's own that must survive
    struct Row {
        const char* name;
        std::optional<int> before;
        bool refuses;
        std::optional<int> whileOpen;
        int sets;
    };
    const Row rows[] = {
        {"Accepted", kOther, false, kOther | ASYNC_LOW_LATENCY, 2},
        {"AlreadyLow", kOther | ASYNC_LOW_LATENCY, false, kOther | ASYNC_LOW_LATENCY, 0},
        {"Refused", kOther, true, kOther, 1},
        {"NoFlags", std::nullopt, false, std::nullopt, 0},
    };
    for (const Row& row : rows) {
        Pty master;
        ASSERT_TRUE(master.ok());
        DriverFlags driver;
        driver.flags = row.before;
        driver.refuses = row.refuses;
        QSerialLink link(nullptr, LinkSystem{&driver});
        const Result<> opened = link.Open(master.SlavePath());
        ASSERT_TRUE(opened.ok()) << row.name << ": " << opened.message().toStdString();
        EXPECT_EQ(driver.flags, row.whileOpen) << row.name;
        link.Close();
        EXPECT_EQ(driver.flags, row.before) << row.name;
        EXPECT_EQ(driver.sets, row.sets) << row.name;
    }
}

TEST(QSerialLinkLowLatencyTest, CloseKeepsWhatAnotherProgramChangedMeanwhile) {
    Pty master;
    ASSERT_TRUE(master.ok());
    DriverFlags driver;
    driver.flags = 0;
    QSerialLink link(nullptr, LinkSystem{&driver});
    ASSERT_TRUE(link.Open(master.SlavePath()).ok());
    *driver.flags |= ASYNC_SPD_HI;
    link.Close();
    EXPECT_EQ(driver.flags, ASYNC_SPD_HI);
}

TEST(QSerialLinkOpenTest, MissingComLinkListsThePortsThatArePresent) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString appDir = folder.path() + "/";
    ASSERT_TRUE(QDir(appDir).mkpath("ports"));
    ASSERT_TRUE(QFile::link("/dev/corvat-unplugged", appDir + "ports/COM3"));
    LinkSystem system;
    system.surroundings = [&](const QString& device) {
        Surroundings around = ReadSurroundings(device);
        around.ports = {
            PresentPort{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", 0x0403, 0x6001, "A50285BI", {}}};
        return around;
    };
    QSerialLink link(nullptr, system);
    LoaderState state;
    state.AppDir = appDir;
    test::RecordingView view;
    view.portText = "COM3";
    Loader loader{state, link, view};
    loader.Connect();
    ASSERT_EQ(view.errors.size(), 1);
    const QString error = view.errors.front();
    EXPECT_TRUE(error.startsWith(qt_error_string(ENOENT) + "\n")) << error.toStdString();
    for (const QString& part :
         {QString("“COM3”"), QString("/dev/ttyUSB0：FT232R USB UART，FTDI，0403:6001，序列号 A50285BI"),
          "ln -sf /dev/ttyUSB0 " + appDir + "ports/COM3"})
        EXPECT_TRUE(error.contains(part)) << part.toStdString() << "\n" << error.toStdString();
}

}  // namespace
}  // namespace corvat
