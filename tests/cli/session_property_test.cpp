// corvat-flash's session against a small model target that really stores pages, with random answers and
// random noise on the line: thousands of short sessions, many at once on one event loop. Whatever
// happens, a session ends, and it reports a board done only when the model holds every page.
// CORVAT_PROPERTY_ITERATIONS sets the number of sessions; the seed is fixed.
#include <gtest/gtest.h>

#include <QTimer>
#include <map>
#include <random>

#include "cli/flash_session.h"
#include "protocol/page_frame.h"
#include "session_support.h"
#include "support/virtual_target.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

// How one model target misbehaves. Its answers always come sooner than a page's pause, as a real
// target's do behind a line that carries them at once. A target that has died is never joined by noise:
// a stray "!" in place of a dead target's answer cannot be told from the real one by anyone.
struct Temper {
    int rejectPercent = 0;
    int noisePercent = 0;      // chance of a stray byte after each answer
    int stopAfterFrames = -1;  // then silent for ever
    int resetAfterFrames = -1;
    bool answersEndMarker = false;
    bool badIdentification = false;
};

class ModelTarget : public MemoryLink {
  public:
    ModelTarget(std::mt19937& random, Temper temper) : m_random(random), m_temper(temper) {}

    void WriteText(const QString& text) override { WriteBytes(text.toLatin1()); }
    void WriteBytes(const QByteArray& bytes) override {
        MemoryLink::WriteBytes(bytes);
        if (IsOpen() && !m_dead) Take(bytes);
    }
    void PowerOn() { Say(">"); }

    bool HoldsEveryPage(const QByteArray& image, int pageSize) const {
        const auto length = static_cast<std::int32_t>(image.size());
        for (int page = 0; page <= LastPage(length, pageSize); ++page) {
            const auto stored = m_flash.find(page);
            if (stored == m_flash.end() || stored->second != DataFrame(image, length, page, pageSize))
                return false;
        }
        return true;
    }

  private:
    void Take(const QByteArray& bytes) {
        for (const char byte : bytes) {
            m_input += byte;
            Consume();
        }
    }

    void Consume() {
        if (!m_downloading) {
            const char byte = m_input.at(0);
            m_input.clear();
            if (byte == '<') Say(m_temper.badIdentification ? "2xg" : "0xg");
            if (byte == kDownloadCommand) {
                m_downloading = true;
                Answer(Chance(m_temper.rejectPercent) ? "@!" : "!");  // "@" to "W" is followed by "!"
            }
            return;
        }
        if (m_input.size() == kHeaderLength && m_input == EndMarker()) {
            m_input.clear();
            m_downloading = false;
            if (m_temper.answersEndMarker) Say("!");
            return;
        }
        if (m_input.size() < kHeaderLength + kPageSize + 1) return;
        const int page = (static_cast<std::uint8_t>(m_input[0]) << 8) | static_cast<std::uint8_t>(m_input[1]);
        const QByteArray frame = m_input.mid(kHeaderLength);
        const bool intact =
            static_cast<std::uint8_t>(frame.back()) ==
            AdditiveChecksum(frame.first(kPageSize), AdditiveChecksum(m_input.first(kHeaderLength)));
        m_input.clear();
        ++m_frames;
        if (m_frames == m_temper.stopAfterFrames) {
            m_dead = true;
            return;
        }
        if (m_frames == m_temper.resetAfterFrames) {
            m_downloading = false;
            Say(">");
            return;
        }
        if (!intact || Chance(m_temper.rejectPercent)) {
            Answer("@");
            return;
        }
        m_flash[page] = frame;
        Answer("!");
    }

    // Noise comes on its own delay, so it may reach the loader before the answer as well as after it.
    void Answer(const QByteArray& answer) {
        Say(answer);
        if (Chance(m_temper.noisePercent)) Say(QByteArray(1, "!@>X\xFF"[m_random() % 5]));
    }

    // Each byte on its own, a millisecond or three later, as a line would deliver them.
    void Say(const QByteArray& bytes) {
        const int delay = static_cast<int>(m_random() % 3);
        QTimer::singleShot(delay, Qt::PreciseTimer, this, [this, bytes] {
            if (IsOpen()) Receive(bytes);
        });
    }

    bool Chance(int percent) { return static_cast<int>(m_random() % 100) < percent; }

    static constexpr int kPageSize = 64;
    std::mt19937& m_random;
    Temper m_temper;
    QByteArray m_input;
    bool m_downloading = false;
    bool m_dead = false;
    int m_frames = 0;
    std::map<int, QByteArray> m_flash;
};

Temper RandomTemper(std::mt19937& random) {
    Temper temper;
    const auto pick = [&](int range) { return static_cast<int>(random() % range); };
    temper.rejectPercent = pick(4) == 0 ? pick(60) : 0;
    temper.answersEndMarker = pick(2) == 0;
    temper.badIdentification = pick(20) == 0;
    if (pick(6) == 0)
        temper.stopAfterFrames = 1 + pick(4);
    else if (pick(3) == 0)
        temper.noisePercent = 5 + pick(40);
    if (pick(10) == 0) temper.resetAfterFrames = 1 + pick(4);
    return temper;
}

struct Session {
    QByteArray image;
    std::unique_ptr<ModelTarget> target;
    RecordingSink sink;
    std::unique_ptr<cli::FlashSession> session;
};

int Iterations() {
    const int given = qEnvironmentVariableIntValue("CORVAT_PROPERTY_ITERATIONS");
    return given > 0 ? given : 2000;
}

TEST(SessionProperty, NeverCallsABadFlashGood) {
    std::mt19937 random(20261207);
    constexpr int kAtOnce = 100;
    int done = 0;
    for (int first = 0; first < Iterations(); first += kAtOnce) {
        std::vector<std::unique_ptr<Session>> runs;
        for (int i = first; i < std::min(first + kAtOnce, Iterations()); ++i) {
            auto& run = runs.emplace_back(std::make_unique<Session>());
            run->image = QByteArray(1 + static_cast<int>(random() % 250), '\0');
            for (char& byte : run->image) byte = static_cast<char>(random());
            run->target = std::make_unique<ModelTarget>(random, RandomTemper(random));
            const PortRequest request(QStringLiteral("/dev/model"));
            EXPECT_TRUE(run->target->Open(request));
            cli::SessionLimits limits;
            limits.firstGreeting = 200ms;
            limits.reply = 40ms;
            limits.maxResends = 3;
            run->session = std::make_unique<cli::FlashSession>(QStringLiteral("COM%1").arg(i), request,
                                                               *run->target, run->image, limits, run->sink);
            run->session->Start();
            run->target->PowerOn();
        }
        // Not a timing check: only a guard against a session that would wait for ever.
        ASSERT_TRUE(WaitFor(
            [&] {
                return std::all_of(runs.begin(), runs.end(),
                                   [](auto& run) { return run->session->Finished(); });
            },
            60s));
        for (const auto& run : runs) {
            SCOPED_TRACE(run->sink.outcomes.join(' ').toStdString());
            EXPECT_EQ(run->session->Done() + run->session->Failed(), 1);
            if (run->session->Done() == 0) continue;
            ++done;
            EXPECT_TRUE(run->target->HoldsEveryPage(run->image, 64));
            EXPECT_EQ(run->target->writes.last(), "E");
        }
    }
    // The tempers leave enough boards alone that the property is not vacuous.
    EXPECT_GT(done, Iterations() / 4);
}

}  // namespace
}  // namespace corvat::test
