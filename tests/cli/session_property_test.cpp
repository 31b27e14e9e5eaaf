// corvat-flash's session against a small model target that really stores pages, with random answers and
// random noise on the line: thousands of short sessions, many at once on one event loop. Each ends, and
// reports a board done only when the model holds every page. CORVAT_PROPERTY_ITERATIONS: how many.
#include <gtest/gtest.h>

#include <QTimer>
#include <map>
#include <random>

#include "cli/flash_session.h"
#include "session_support.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

constexpr int kPageSize = 64;

// Answers always come sooner than a page's pause, as a real target's do. A dead target is never joined
// by noise: a stray "!" in place of a dead target's answer cannot be told from the real one by anyone.
struct Temper {
    int rejectPercent = 0;
    int noisePercent = 0;  // chance of a stray byte beside each answer
    int dieAfterFrames = -1;
    bool answersEndMarker = false;
};

class ModelTarget : public MemoryLink {
  public:
    ModelTarget(std::mt19937& random, Temper temper) : m_random(random), m_temper(temper) {}

    void WriteText(const QString& text) override { WriteBytes(text.toLatin1()); }
    void WriteBytes(const QByteArray& bytes) override {
        MemoryLink::WriteBytes(bytes);
        for (const char byte : bytes)
            if (IsOpen() && m_frames != m_temper.dieAfterFrames) Take(byte);
    }
    void PowerOn() { Say(">"); }

    bool HoldsEveryPage(const QByteArray& image) const {
        const auto length = static_cast<std::int32_t>(image.size());
        for (int page = 0; page <= LastPage(length, kPageSize); ++page)
            if (m_flash.count(page) == 0 || m_flash.at(page) != DataFrame(image, length, page, kPageSize))
                return false;
        return true;
    }

  private:
    void Take(char byte) {
        m_input += byte;
        if (!m_downloading) {
            if (byte == '<') Say("0xg");
            m_downloading = byte == kDownloadCommand;
            if (m_downloading) Answer(Chance(m_temper.rejectPercent) ? "@!" : "!");  // "@" to "W", then "!"
            m_input.clear();
        } else if (m_input == EndMarker()) {
            m_downloading = false;
            if (m_temper.answersEndMarker) Say("!");
            m_input.clear();
        } else if (m_input.size() == kHeaderLength + kPageSize + 1) {
            const QByteArray frame = m_input.mid(kHeaderLength);
            const int page =
                (static_cast<std::uint8_t>(m_input[0]) << 8) | static_cast<std::uint8_t>(m_input[1]);
            const bool intact = static_cast<std::uint8_t>(frame.back()) ==
                                AdditiveChecksum(m_input.first(m_input.size() - 1));
            m_input.clear();
            if (++m_frames == m_temper.dieAfterFrames) return;
            const bool accepted = intact && !Chance(m_temper.rejectPercent);
            if (accepted) m_flash[page] = frame;
            Answer(accepted ? "!" : "@");
        }
    }

    // Noise comes on its own delay, so it may reach the loader before the answer as well as after it.
    void Answer(const QByteArray& answer) {
        Say(answer);
        if (Chance(m_temper.noisePercent)) Say(QByteArray(1, "!@>X\xFF"[m_random() % 5]));
    }
    void Say(const QByteArray& bytes) {
        QTimer::singleShot(static_cast<int>(m_random() % 3), Qt::PreciseTimer, this, [this, bytes] {
            if (IsOpen()) Receive(bytes);
        });
    }
    bool Chance(int percent) { return static_cast<int>(m_random() % 100) < percent; }

    std::mt19937& m_random;
    Temper m_temper;
    QByteArray m_input;
    bool m_downloading = false;
    int m_frames = 0;
    std::map<int, QByteArray> m_flash;
};

Temper RandomTemper(std::mt19937& random) {
    const auto pick = [&](int range) { return static_cast<int>(random() % range); };
    Temper temper{pick(4) == 0 ? pick(60) : 0, 0, -1, pick(2) == 0};
    if (pick(6) == 0)
        temper.dieAfterFrames = 1 + pick(4);
    else if (pick(3) == 0)
        temper.noisePercent = 5 + pick(40);
    return temper;
}

struct Session {
    QByteArray image;
    std::unique_ptr<ModelTarget> target;
    RecordingSink sink;
    std::unique_ptr<cli::FlashSession> session;
};

TEST(SessionProperty, NeverCallsABadFlashGood) {
    const int iterations = qEnvironmentVariableIntValue("CORVAT_PROPERTY_ITERATIONS");
    const int total = iterations > 0 ? iterations : 2000;
    std::mt19937 random(20261207);
    int done = 0;
    for (int first = 0; first < total; first += 100) {
        std::vector<std::unique_ptr<Session>> batch;
        for (int i = first; i < std::min(first + 100, total); ++i) {
            auto& s = batch.emplace_back(std::make_unique<Session>());
            s->image = QByteArray(1 + static_cast<int>(random() % 250), '\0');
            for (char& byte : s->image) byte = static_cast<char>(random());
            s->target = std::make_unique<ModelTarget>(random, RandomTemper(random));
            const PortRequest request(QStringLiteral("/dev/model"));
            EXPECT_TRUE(s->target->Open(request));
            cli::SessionLimits limits{200ms, 0ms, 40ms, 3, std::nullopt, false};
            s->session = std::make_unique<cli::FlashSession>(QStringLiteral("COM%1").arg(i), request,
                                                             *s->target, s->image, limits, s->sink);
            s->session->Start();
            s->target->PowerOn();
        }
        // Only a guard against a session that would wait for ever, not a measure of time.
        const auto allEnded = [&] {
            return std::all_of(batch.begin(), batch.end(), [](auto& s) { return s->session->Finished(); });
        };
        ASSERT_TRUE(WaitFor(allEnded, 60s));
        for (const auto& s : batch) {
            SCOPED_TRACE(s->sink.outcomes.join(' ').toStdString());
            EXPECT_EQ(s->session->Done() + s->session->Failed(), 1);
            if (s->session->Done() == 0) continue;
            ++done;
            EXPECT_TRUE(s->target->HoldsEveryPage(s->image));
            EXPECT_EQ(s->target->writes.last(), "E");
        }
    }
    EXPECT_GT(done, total / 4);  // enough boards are left alone that the property is not vacuous
}

}  // namespace
}  // namespace corvat::test
