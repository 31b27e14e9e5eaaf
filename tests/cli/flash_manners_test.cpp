// corvat-flash's manners as a program: a stop signal mid-board, and the record of each board, whole even
// when two processes append to one file at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "cli/record_sink.h"
#include "json_lines.h"
#include "support/virtual_target.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

// One corvat-flash run with --json against one virtual target, on an image of 300 bytes.
struct FlashProcess {
    QTemporaryDir dir;
    VirtualTarget target;
    QProcess process;
    QByteArray out;

    explicit FlashProcess(const QStringList& targetOptions) : target(targetOptions) {}

    QString Image() const { return dir.filePath(QStringLiteral("fw.bin")); }

    // Writes the image and starts the target.
    void Prepare() {
        QFile image(Image());
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        for (int k = 0; k < 300; ++k) image.putChar(static_cast<char>(k * 13));
        image.close();
        QString error;
        ASSERT_TRUE(target.Start(&error)) << error.toStdString();
    }
    void Start(const QStringList& options) {
        Prepare();
        process.start(QStringLiteral(CORVAT_PROGRAM_DIR "/corvat-flash"),
                      QStringList{"--json", "-p", target.LinkPath()} + options + QStringList{Image()});
        ASSERT_TRUE(process.waitForStarted());
    }
    QList<QJsonObject> Events() {
        out += process.readAllStandardOutput();
        return JsonLines(out);
    }
    bool Saw(const char* event) {
        for (const QJsonObject& e : Events())
            if (e[QStringLiteral("event")].toString() == QLatin1String(event)) return true;
        return false;
    }
    bool Ended() {
        return WaitFor([&] { return process.state() == QProcess::NotRunning; }, 60s);
    }
};

TEST(FlashManners, HangupMidBoardFailsItAsInterruptedAndStillSummarises) {
    FlashProcess run({"--stop-after-pages", "2"});
    run.Start({"--reply-timeout", "30000"});
    ASSERT_TRUE(WaitFor([&] { return run.Saw("page_accepted"); }, 30s));
    ::kill(static_cast<pid_t>(run.process.processId()), SIGHUP);
    ASSERT_TRUE(run.Ended());
    EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process.exitCode(), 1);
    const QList<QJsonObject> events = run.Events();
    ASSERT_GE(events.size(), 2);
    EXPECT_EQ(events.front()[QStringLiteral("event")].toString(), QStringLiteral("start"));
    const QJsonObject failed = events[events.size() - 2];
    EXPECT_EQ(failed[QStringLiteral("reason")].toString(), QStringLiteral("interrupted"));
    EXPECT_TRUE(failed[QStringLiteral("message")].toString().contains(QStringLiteral("SIGHUP")));
    const QJsonObject summary = events.back();
    EXPECT_EQ(summary[QStringLiteral("event")].toString(), QStringLiteral("summary"));
    EXPECT_EQ(summary[QStringLiteral("signal")].toString(), QStringLiteral("SIGHUP"));
    EXPECT_TRUE(summary[QStringLiteral("interrupted")].toBool());
    EXPECT_FALSE(run.target.HasEvent(QStringLiteral("released: the target runs its program")));
}

// `| head`: the reader of stdout goes away after the first byte, and the next event finds the pipe broken.
TEST(FlashManners, ClosedStdoutEndsTheRunAsSigpipeWould) {
    FlashProcess run({"--manual"});
    run.Prepare();
    QProcess shell;
    shell.start(
        QStringLiteral("bash"),
        {"-c",
         QStringLiteral("'%1' --json -p '%2' '%3' | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}")
             .arg(QStringLiteral(CORVAT_PROGRAM_DIR "/corvat-flash"), run.target.LinkPath(), run.Image())});
    ASSERT_TRUE(shell.waitForFinished(60000));
    const QString errors = QString::fromUtf8(shell.readAllStandardError());
    EXPECT_EQ(shell.exitCode(), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("SIGPIPE）"))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("因 SIGPIPE 中断"))) << errors.toStdString();
}

TEST(FlashManners, RecordNamesTheBoardTheImageAndTheOutcome) {
    FlashProcess run({"--reject", "2"});
    const QString recordPath = run.dir.filePath(QStringLiteral("boards.jsonl"));
    run.Start({"--record", recordPath});
    ASSERT_TRUE(run.Ended());
    EXPECT_EQ(run.process.exitCode(), 0) << run.process.readAllStandardError().toStdString();
    QFile record(recordPath);
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = record.readAll().split('\n');
    ASSERT_EQ(lines.size(), 2);  // one board, and the newline that ends it
    const QJsonObject line = QJsonDocument::fromJson(lines[0]).object();
    QFile image(run.Image());
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    EXPECT_EQ(line[QStringLiteral("image_sha256")].toString().toLatin1(),
              QCryptographicHash::hash(image.readAll(), QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(line[QStringLiteral("image_size")].toInt(), 300);
    EXPECT_EQ(line[QStringLiteral("image")].toString(), run.Image());
    EXPECT_EQ(line[QStringLiteral("port")].toString(), run.target.LinkPath());
    EXPECT_EQ(line[QStringLiteral("outcome")].toString(), QStringLiteral("done"));
    EXPECT_TRUE(line[QStringLiteral("reason")].isNull());
    EXPECT_EQ(line[QStringLiteral("capacity")].toInt(), 7168);
    EXPECT_EQ(line[QStringLiteral("version")].toString(), QStringLiteral("1.1"));
    EXPECT_EQ(line[QStringLiteral("pages")].toInt(), 5);
    EXPECT_EQ(line[QStringLiteral("resends")].toInt(), 1);
    EXPECT_FALSE(line[QStringLiteral("host")].toString().isEmpty());
    EXPECT_TRUE(line[QStringLiteral("time")].toString().endsWith(QLatin1Char('Z')));
    EXPECT_TRUE(line[QStringLiteral("adapter")].isObject());
}

TEST(FlashManners, TwoProcessesAppendingToOneRecordLeaveOnlyWholeLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shared.jsonl"));
    constexpr int kLines = 200;
    // Lines longer than a pipe's atomic size: only one write per line keeps them apart.
    auto append = [&](char filler) {
        cli::RecordFile file;
        if (!file.Open(path)) ::_exit(1);
        const QByteArray line = "{\"x\":\"" + QByteArray(9000, filler) + "\"}";
        for (int i = 0; i < kLines; ++i)
            if (!file.Append(line)) ::_exit(1);
        ::_exit(0);
    };
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = ::fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) append(static_cast<char>('a' + i));
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray());
    ASSERT_EQ(lines.size(), 2 * kLines);
    for (const QByteArray& line : lines) {
        const QString x = QJsonDocument::fromJson(line).object()[QStringLiteral("x")].toString();
        ASSERT_EQ(x.size(), 9000);
        ASSERT_EQ(x.count(x.front()), 9000);
    }
}

}  // namespace
}  // namespace corvat::test
