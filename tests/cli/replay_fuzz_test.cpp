// Recorded sessions, damaged at random (bit flips, dropped and duplicated bytes, truncation) and replayed
// into the command line's session over the in-memory link: it never crashes or hangs, and it reports a
// board done only when the replayed target accepted every page. The seed is fixed; the number of
// rounds comes from CORVAT_PROPERTY_ITERATIONS.
#include <gtest/gtest.h>

#include <QFile>
#include <QTimer>
#include <array>
#include <random>
#include <set>

#include "cli/flash_session.h"
#include "support/memory_link.h"
#include "support/virtual_target.h"
#include "trace/replay.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

constexpr int kPageSize = 64;  // the recordings are of a kind 0 board

// The image the recordings were made with.
QByteArray Program() {
    QByteArray bytes(300, '\0');
    for (int k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>((k * 7 + 3) & 0xFF);
    return bytes;
}

std::string ReadTrace(const char* name) {
    QFile file(QStringLiteral(CORVAT_TRACES_DIR "/%1.trace").arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// A line whose far end is a replayed target. Every write and every answer is logged in order, so that
// a model can tell which pages the target accepted.
class ReplayLink : public MemoryLink {
  public:
    struct Chunk {
        bool fromLoader;
        QByteArray bytes;
    };

    explicit ReplayLink(trace::ReplaySession session) : m_replayer(std::move(session)) {}

    void Begin() { Carry(m_replayer.Start(trace::ReplayClock::now())); }
    void WriteText(const QString& text) override { WriteBytes(text.toLocal8Bit()); }
    void WriteBytes(const QByteArray& bytes) override {
        MemoryLink::WriteBytes(bytes);
        if (!IsOpen()) return;
        log.push_back({true, bytes});
        Carry(m_replayer.Received(bytes.toStdString(), trace::ReplayClock::now()));
    }

    std::vector<Chunk> log;

  private:
    // The recorded gaps are left out: the session's own time-outs are what is under test, not the clock.
    void Carry(const std::vector<trace::ReplayAction>& actions) {
        for (const trace::ReplayAction& action : actions) {
            QTimer::singleShot(0, this, [this, action] {
                if (!IsOpen()) return;
                if (action.kind == trace::ReplayStep::Kind::kHangUp)
                    return Vanish(QStringLiteral("unplugged"));
                const QByteArray bytes = QByteArray::fromStdString(action.bytes);
                log.push_back({false, bytes});
                Receive(bytes);
            });
        }
    }

    trace::Replayer m_replayer;
};

// The pages a target accepted: a "!" as its first answer after a whole, correct frame of that page.
std::set<int> AcceptedPages(const std::vector<ReplayLink::Chunk>& log, const QByteArray& image) {
    std::set<int> accepted;
    QByteArray frame;
    bool downloading = false;
    bool awaitingVerdict = false;
    for (const auto& chunk : log) {
        if (!chunk.fromLoader) {
            if (awaitingVerdict && chunk.bytes.startsWith('!')) {
                const int page =
                    static_cast<unsigned char>(frame[0]) * 256 + static_cast<unsigned char>(frame[1]);
                QByteArray expected = image.mid(page * kPageSize, kPageSize);
                expected.append(QByteArray(kPageSize - expected.size(), '\xFF'));
                unsigned sum = 0;
                for (const char byte : frame.left(2 + kPageSize)) sum += static_cast<unsigned char>(byte);
                if (frame.mid(2, kPageSize) == expected && static_cast<char>(sum) == frame.back())
                    accepted.insert(page);
            }
            if (awaitingVerdict) frame.clear();
            awaitingVerdict = false;
            continue;
        }
        if (!downloading) {
            downloading = chunk.bytes.endsWith('W');
            continue;
        }
        frame += chunk.bytes;
        awaitingVerdict = frame.size() == 2 + kPageSize + 1;
        if (frame.size() > 2 + kPageSize + 1) frame.clear();  // the end marker and release, or out of step
    }
    return accepted;
}

class Sink : public cli::FlashSink {
  public:
    void Report(const cli::FlashEvent& event) override { done += event.type == cli::FlashEvent::Type::kDone; }
    void Finish(const cli::FlashSummary&) override {}
    int done = 0;
};

// One damage: a bit flipped, a byte dropped or doubled, or the rest cut off.
void Damage(std::string& bytes, std::mt19937& random) {
    if (bytes.empty()) return;
    const std::size_t at = random() % bytes.size();
    switch (random() % 4) {
        case 0:
            bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
            break;
        case 1:
            bytes.erase(at, 1);
            break;
        case 2:
            bytes.insert(at, 1, bytes[at]);
            break;
        default:
            bytes.resize(at);
    }
}

int Iterations() {
    const int given = qEnvironmentVariableIntValue("CORVAT_PROPERTY_ITERATIONS");
    return given > 0 ? given : 60;
}

TEST(ReplayFuzzTest, DamagedRecordingsNeverPassForAGoodFlash) {
    const QByteArray image = Program();
    const int lastPage = static_cast<int>((image.size() - 1) / kPageSize);
    std::mt19937 random(20261207);
    int doneSeen = 0;
    for (int round = 0; round < Iterations(); ++round) {
        const char* name = std::array{"good-with-resends", "reply-timeout", "unplugged"}[round % 3];
        const std::string original = ReadTrace(name);
        ASSERT_FALSE(original.empty()) << name;
        // Half the rounds damage the text (what still reads is replayed as it reads), half one answer.
        std::string text = original;
        if (round % 2) Damage(text, random);
        auto parsed = trace::ParseTrace(text);
        if (!parsed.trace) parsed = trace::ParseTrace(original);
        std::string error;
        auto sessions = trace::SessionsOf(*parsed.trace, {}, &error);
        if (sessions.empty()) continue;  // the damage took the port's name
        auto& steps = sessions.front().steps;
        if (round % 2 == 0 && !steps.empty()) Damage(steps[random() % steps.size()].bytes, random);

        ReplayLink link(sessions.front());
        Sink sink;
        cli::SessionLimits limits;
        limits.firstGreeting = 200ms;
        limits.reply = 30ms;
        cli::FlashSession session(QStringLiteral("COM1"), PortRequest(QStringLiteral("/dev/null")), link,
                                  image, limits, sink);
        ASSERT_TRUE(link.Open(PortRequest(QStringLiteral("/dev/null"))));
        session.Start();
        link.Begin();
        ASSERT_TRUE(WaitFor([&] { return session.Finished(); }, 10s)) << name << " round " << round;
        if (sink.done == 0) continue;
        ++doneSeen;
        const std::set<int> accepted = AcceptedPages(link.log, image);
        for (int page = 0; page <= lastPage; ++page)
            EXPECT_TRUE(accepted.count(page)) << name << " round " << round << ": done without page " << page;
    }
    // The good recording, undamaged by chance or damaged where it does not matter, still flashes.
    EXPECT_GT(doneSeen, 0);
}

}  // namespace
}  // namespace corvat::test
