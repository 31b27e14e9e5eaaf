#include "image/delay.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace corvat {
namespace {

// Posts an event that sets the flag when the event loop handles it.
void PostFlag(bool& ran) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&ran] { ran = true; }, Qt::QueuedConnection);
}

TEST(DelayTest, NothingToWaitHandlesNoEvents) {
    for (const auto& [name, request] :
         {std::pair{"Zero", 0}, std::pair{"Negative", -1},
          std::pair{"MostNegative", std::numeric_limits<std::int32_t>::min()}}) {
        SCOPED_TRACE(name);
        bool ran = false;
        PostFlag(ran);
        Delay(request);
        EXPECT_FALSE(ran);
        QCoreApplication::processEvents();
        EXPECT_TRUE(ran);
    }
}

TEST(DelayTest, HandlesEventsWhileWaiting) {
    bool posted = false;
    PostFlag(posted);
    bool timerFired = false;
    // Due at once, so it fires at the wait's first pass however late the thread gets to run.
    QTimer::singleShot(0, [&timerFired] { timerFired = true; });
    Delay(100);
    EXPECT_TRUE(posted);
    EXPECT_TRUE(timerFired);
}

// A counter that runs with real time from a chosen start, so waits across the wrap can be tried.
struct OffsetCounter {
    std::uint32_t base;
    QElapsedTimer clock;
    int reads = 0;
    std::uint32_t operator()() {
        ++reads;
        return base + static_cast<std::uint32_t>(clock.elapsed());
    }
};

TEST(DelayTest, EndsAfterTheRequestAcrossTheCountersWrap) {
    struct Row {
        const char* name;
        std::uint32_t base;
    };
    for (const Row& row : {Row{"FarFromWrap", 1000}, Row{"WrapsMidWait", 0xFFFFFFFFu - 40},
                           Row{"WrapsAtOnce", 0xFFFFFFFFu}, Row{"SignBoundary", 0x7FFFFFFFu - 40}}) {
        SCOPED_TRACE(row.name);
        OffsetCounter counter{row.base, {}};
        counter.clock.start();
        Delay(120, [&counter] { return counter(); });
        // Never early; a wait that misread the wrap would either return at once or never.
        EXPECT_GE(counter.clock.elapsed(), 120);
    }
}

TEST(DelayTest, SleepsInsteadOfSpinning) {
    // A busy wait reads the counter hundreds of thousands of times a second; sleeping reads it a few times.
    OffsetCounter counter{0, {}};
    counter.clock.start();
    Delay(200, [&counter] { return counter(); });
    EXPECT_LT(counter.reads, 1000);
}

}  // namespace
}  // namespace corvat
