#include "serial/qserial_link.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <cstdlib>
#include <functional>
#include <future>

#include "protocol/loader.h"
#include "support/recording_view.h"

namespace corvat {
namespace {

// Generous upper bound for waits on a pseudo-terminal; the waits end as soon as their condition holds.
constexpr int kPatienceMs = 5000;
// Several times what a Linux pseudo-terminal buffers, so that the writer must wait for the reader.
constexpr int kBeyondPtyCapacity = 300000;

// The far end of a pseudo-terminal pair: the test plays the target on the master side.
class PtyMaster {
  public:
    PtyMaster() {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd >= 0 && (::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)) Hangup();
    }
    ~PtyMaster() { Hangup(); }
    PtyMaster(const PtyMaster&) = delete;
    PtyMaster& operator=(const PtyMaster&) = delete;

    bool ok() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    QString SlavePath() const { return m_fd >= 0 ? QString::fromLocal8Bit(::ptsname(m_fd)) : QString(); }
    void Hangup() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

    // Reads until count bytes have come or the patience runs out.
    QByteArray Read(int count) const {
        QByteArray received;
        const QDeadlineTimer deadline(kPatienceMs);
        while (received.size() < count && !deadline.hasExpired()) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(deadline.remainingTime())) <= 0) break;
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0) break;
            received.append(buffer, n);
        }
        return received;
    }

    // Whether every slave descriptor has been closed.
    bool SlaveClosed() const {
        pollfd pfd{m_fd, POLLIN, 0};
        return ::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLHUP);
    }

  private:
    int m_fd = -1;
};

bool ProcessEventsUntil(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(kPatienceMs);
    while (!condition() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

QByteArray AllByteValues() {
    QByteArray bytes(256, '\0');
    for (int value = 0; value < 256; ++value) bytes[value] = static_cast<char>(value);
    return bytes;
}

class QSerialLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(master.ok());
        const Result<> opened = link.Open(master.SlavePath());
        ASSERT_TRUE(opened.ok()) << opened.message().toStdString();
    }

    PtyMaster master;
    QSerialLink link;
};

TEST_F(QSerialLinkTest, OpensAt9600EightNoneOneWithoutFlowControl) {
    termios settings{};
    ASSERT_EQ(::tcgetattr(master.fd(), &settings), 0);  // a master reports its slave's settings
    EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(::cfgetispeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u) << "output processing would alter frame bytes";
}

TEST_F(QSerialLinkTest, WritesArriveExactlyAndInOrder) {
    link.WriteText(QStringLiteral("<"));
    link.WriteBytes(AllByteValues());
    link.WriteBytes(QByteArray("\xFF\xFF", 2));
    const QByteArray expected = QByteArray("<") + AllByteValues() + QByteArray("\xFF\xFF", 2);
    EXPECT_EQ(master.Read(expected.size()), expected);
}

TEST_F(QSerialLinkTest, RepliesAreAnnouncedAndReadWhole) {
    QSignalSpy arrived(&link, &SerialLink::DataArrived);
    ASSERT_EQ(::write(master.fd(), "0xg", 3), 3);
    ASSERT_TRUE(ProcessEventsUntil([&] { return link.WaitingCount() >= 3; }));
    EXPECT_GE(arrived.count(), 1);
    EXPECT_EQ(link.ReadAll(), "0xg");
    EXPECT_EQ(link.WaitingCount(), 0);
}

TEST_F(QSerialLinkTest, OpeningAgainClosesTheFirstPort) {
    PtyMaster second;
    ASSERT_TRUE(second.ok());
    const Result<> opened = link.Open(second.SlavePath());
    ASSERT_TRUE(opened.ok()) << opened.message().toStdString();
    EXPECT_TRUE(master.SlaveClosed());
    link.WriteText(QStringLiteral("W"));
    EXPECT_EQ(second.Read(1), "W");
}

TEST_F(QSerialLinkTest, HangupClosesThePortAndIsReportedOnce) {
    QSignalSpy gone(&link, &SerialLink::AdapterGone);
    const QString device = master.SlavePath();
    master.Hangup();
    ASSERT_TRUE(ProcessEventsUntil([&] { return gone.count() > 0; }));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(gone.front().front().toString().contains(device))
        << gone.front().front().toString().toStdString();
    // Let any burst of further errors from the dead descriptor run its course.
    for (int round = 0; round < 50; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(gone.count(), 1);
    link.WriteBytes("after");  // dropped quietly: the port has gone
    link.Close();
}

TEST_F(QSerialLinkTest, FullOutputQueueIsNotALoss) {
    // Nobody reads the far end: the pseudo-terminal fills and the OS refuses more for now.
    QSignalSpy gone(&link, &SerialLink::AdapterGone);
    const QByteArray block(kBeyondPtyCapacity, '\x5A');
    link.WriteBytes(block);
    link.WriteBytes("E!");
    for (int round = 0; round < 20; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(gone.count(), 0);
    // Once the far end reads again, every queued byte follows.
    std::future<QByteArray> received =
        std::async(std::launch::async, [&] { return master.Read(kBeyondPtyCapacity + 2); });
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return received.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_TRUE(received.get() == block + "E!");
    EXPECT_EQ(gone.count(), 0);
}

TEST_F(QSerialLinkTest, LossNoticedBeforeADeliberateCloseIsNotDelivered) {
    QSignalSpy gone(&link, &SerialLink::AdapterGone);
    master.Hangup();
    link.WriteBytes("W");  // the write meets the hang-up and the loss is noticed at once
    ASSERT_FALSE(link.IsOpen());
    link.Close();  // as loading an image does, before the event loop runs again
    for (int round = 0; round < 20; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(gone.count(), 0);
}

TEST_F(QSerialLinkTest, PortHeldByAnotherLinkIsReportedBusy) {
    QSerialLink second;
    const Result<> opened = second.Open(master.SlavePath());
    EXPECT_FALSE(opened.ok());
    const QString error = opened.message();
    EXPECT_TRUE(error.contains(QStringLiteral("正被其他程序占用"))) << error.toStdString();
    // The holder is this very test, through its first link's descriptor or its lock file, under the
    // short name the kernel keeps (15 characters): the rest of a command line is the process's to choose.
    const QString holder = QStringLiteral("进程 %1（%2）")
                               .arg(QCoreApplication::applicationPid())
                               .arg(QCoreApplication::applicationName().left(15));
    EXPECT_TRUE(error.contains(holder)) << error.toStdString();
    EXPECT_TRUE(link.IsOpen());
}

TEST(QSerialLinkOpenTest, MissingDeviceFailsWithTheSerialLayersText) {
    QSerialLink link;
    const Result<> opened = link.Open(QStringLiteral("/dev/ttyS-1"));
    EXPECT_FALSE(opened.ok());
    const QString error = opened.message();
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(error.startsWith(QStringLiteral("No such file or directory"))) << error.toStdString();
}

// The real loader on the real link; the test plays the target on the master side.
class LoaderOnPty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(master.ok());
        state.ImageData = QByteArray(200, '\x11');
        state.ImageLength = 200;
        view.portText = master.SlavePath();
        loader.Connect();
        ASSERT_TRUE(link.IsOpen()) << view.errors.join("\n").toStdString();
    }

    void Greet() {
        ASSERT_EQ(::write(master.fd(), ">", 1), 1);
        ASSERT_TRUE(ProcessEventsUntil([&] { return state.ReplyLength == 3; }));
        ASSERT_EQ(master.Read(1), "<");
    }

    void Identify() {
        Greet();
        ASSERT_EQ(::write(master.fd(), "0xg", 3), 3);
        ASSERT_TRUE(ProcessEventsUntil([&] { return view.IsEnabled(Control::cmdWrite); }));
    }

    void ExpectReleased() {
        EXPECT_FALSE(link.IsOpen());
        EXPECT_TRUE(view.IsEnabled(Control::Combo1));
        EXPECT_TRUE(view.IsEnabled(Control::cmdstar));
        EXPECT_TRUE(view.IsEnabled(Control::cmdFlashFile));
        EXPECT_FALSE(view.IsEnabled(Control::cmdWrite));
        EXPECT_FALSE(view.IsEnabled(Control::cmdExit));
        EXPECT_EQ(view.message, QStringLiteral("信息...."));
        EXPECT_TRUE(view.progressText.isEmpty());
    }

    PtyMaster master;
    LoaderState state;
    QSerialLink link;
    test::RecordingView view;
    Loader loader{state, link, view};
};

TEST_F(LoaderOnPty, NoiseBeforeTheGreetingIsShownThenTheGreetingIsAnswered) {
    // The greeting follows only once the noise has been handled, so the two are never read together.
    ASSERT_EQ(::write(master.fd(), "\x00\x7F", 2), 2);
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.message == QStringLiteral("联接中..."); }));
    Greet();
    ASSERT_EQ(::write(master.fd(), "1xg", 3), 3);
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.IsEnabled(Control::cmdWrite); }));
    EXPECT_EQ(view.CallsStartingWith("ShowMessage"),
              QStringList({"ShowMessage(设备联接中.)", "ShowMessage(联接中...)", "ShowMessage(开始联接..)",
                           "ShowMessage(联接成功，可下载....)"}));
}

enum class PulledWhen { kWaitingForGreeting, kWaitingForIdentification, kMidDownload };

struct PulledRow {
    const char* name;
    PulledWhen when;
};

void PrintTo(const PulledRow& row, std::ostream* out) {
    *out << row.name;
}

class AdapterPulled : public LoaderOnPty, public ::testing::WithParamInterface<PulledRow> {};

TEST_P(AdapterPulled, ShowsTheErrorAndLeavesTheWindowReleased) {
    const PulledWhen when = GetParam().when;
    if (when != PulledWhen::kWaitingForGreeting) Greet();
    if (when == PulledWhen::kMidDownload) {
        ASSERT_EQ(::write(master.fd(), "0xg", 3), 3);
        ASSERT_TRUE(ProcessEventsUntil([&] { return view.IsEnabled(Control::cmdWrite); }));
        loader.StartDownload();
        ASSERT_EQ(master.Read(1), "W");
        ASSERT_EQ(::write(master.fd(), "!", 1), 1);
        ASSERT_TRUE(ProcessEventsUntil([&] { return state.PageIndex == 0; }));
        ASSERT_EQ(master.Read(2 + 65).left(2), QByteArray(2, '\0'));
    }
    master.Hangup();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !view.errors.isEmpty(); }));
    EXPECT_EQ(view.errors.size(), 1);
    ExpectReleased();
}

INSTANTIATE_TEST_SUITE_P(Moments, AdapterPulled,
                         ::testing::Values(PulledRow{"waiting_for_greeting", PulledWhen::kWaitingForGreeting},
                                           PulledRow{"waiting_for_identification",
                                                     PulledWhen::kWaitingForIdentification},
                                           PulledRow{"mid_download", PulledWhen::kMidDownload}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ReleaseRow {
    const char* name;
    bool greetingWhileClosing;  // a ">" waits unread when Release starts
};

void PrintTo(const ReleaseRow& row, std::ostream* out) {
    *out << row.name;
}

class ReleaseWithQueuedOutput : public LoaderOnPty, public ::testing::WithParamInterface<ReleaseRow> {};

TEST_P(ReleaseWithQueuedOutput, EveryByteUpToTheFinalEArrivesAndTheWindowIsReleased) {
    Identify();
    // More than the pseudo-terminal holds, so that most of it still waits in the link when Release
    // closes the port.
    const QByteArray block(kBeyondPtyCapacity, '\x11');
    link.WriteBytes(block);
    if (GetParam().greetingWhileClosing) {
        ASSERT_EQ(::write(master.fd(), ">", 1), 1);
    }
    // One byte more than expected: anything written after "E" would show; the read ends at the
    // hang-up that the close causes.
    std::future<QByteArray> received =
        std::async(std::launch::async, [&] { return master.Read(kBeyondPtyCapacity + 2); });
    loader.Release();
    const QByteArray bytes = received.get();
    EXPECT_EQ(bytes.size(), kBeyondPtyCapacity + 1);
    EXPECT_TRUE(bytes == block + "E") << "ends with " << bytes.right(4).toHex(' ').toStdString();
    ExpectReleased();
    EXPECT_TRUE(view.errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ReleaseWithQueuedOutput,
                         ::testing::Values(ReleaseRow{"queued_output", false},
                                           ReleaseRow{"greeting_arrives_while_closing", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat
