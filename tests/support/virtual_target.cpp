#include "support/virtual_target.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace corvat::test {

namespace {

const QString kTranscriptName = QStringLiteral("transcript.txt");
const QString kFlashName = QStringLiteral("flash.bin");
constexpr int kStopWaitMs = 5000;

}  // namespace

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired()) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(2);
    }
    return true;
}

VirtualTarget::VirtualTarget(QStringList options) : m_options(std::move(options)) {}

VirtualTarget::~VirtualTarget() {
    Stop();
}

QString VirtualTarget::Folder() const {
    return m_dir.path() + QLatin1Char('/');
}

QString VirtualTarget::LinkPath() const {
    return Folder() + QStringLiteral("ports/COM1");
}

bool VirtualTarget::Start(QString* error) {
    if (!m_dir.isValid()) {
        *error = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return false;
    }
    QStringList arguments{QStringLiteral("--link"),       LinkPath(),
                          QStringLiteral("--transcript"), FilePath(kTranscriptName),
                          QStringLiteral("--flash"),      FilePath(kFlashName)};
    // Only a test that asks gets a target that is busy after each page header: on a loaded machine the
    // target reads late now and then, takes a paused data frame for one sent too soon and rejects the
    // page, which a test counting rejections would take for a fault of the loader.
    arguments += QStringList{QStringLiteral("--header-busy"), QStringLiteral("0")};
    arguments += m_options;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(CORVAT_PROGRAM_DIR "/corvat-virtual-target"), arguments);
    if (!m_process.waitForStarted()) {
        *error = QStringLiteral("the virtual target did not start: ") + m_process.errorString();
        return false;
    }
    // The link exists once the line is ready for a loader.
    const bool linked = WaitFor([&] { return QFileInfo::exists(LinkPath()) || !Running(); });
    if (!linked || !Running()) {
        *error = QStringLiteral("the virtual target gave no line at %1; its transcript:\n%2")
                     .arg(LinkPath(), Transcript().join(QLatin1Char('\n')));
        return false;
    }
    return true;
}

void VirtualTarget::Stop() {
    if (!Running()) return;
    // A polite stop lets the target remove its link, as it does for an operator's Ctrl+C.
    m_process.terminate();
    if (!m_process.waitForFinished(kStopWaitMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopWaitMs);
    }
}

void VirtualTarget::PowerCycle() {
    m_process.write("p\n");
}

QStringList VirtualTarget::Transcript() const {
    QFile file(FilePath(kTranscriptName));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    // A line still being written has no end yet and is left for the next look.
    lines.removeLast();
    return lines;
}

QStringList VirtualTarget::Events() const {
    QStringList events;
    for (const QString& line : Transcript()) {
        const qsizetype marker = line.indexOf(QStringLiteral(" -- "));
        if (marker >= 0) events << line.mid(marker + 4);
    }
    return events;
}

bool VirtualTarget::WaitForEvent(const QString& text, std::chrono::milliseconds limit) const {
    return WaitFor([&] { return HasEvent(text); }, limit);
}

QByteArray VirtualTarget::Received() const {
    return Bytes(QStringLiteral("rx"));
}

QByteArray VirtualTarget::Sent() const {
    return Bytes(QStringLiteral("tx"));
}

QByteArray VirtualTarget::Bytes(const QString& direction) const {
    QByteArray bytes;
    for (const QString& line : Transcript()) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() < 2 || fields[1] != direction) continue;
        // Hex pairs follow the direction up to the quoted printable form.
        for (qsizetype i = 2; i < fields.size() && !fields[i].startsWith(QLatin1Char('\'')); ++i)
            bytes.append(static_cast<char>(fields[i].toUInt(nullptr, 16)));
    }
    return bytes;
}

QByteArray VirtualTarget::Flash() const {
    QFile file(FilePath(kFlashName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double StatsField(const QStringList& lines, const QString& key) {
    for (const QString& line : lines) {
        const QStringList words = line.split(QLatin1Char(' '));
        const qsizetype at = words.indexOf(key);
        if (at >= 0 && at + 1 < words.size()) return words[at + 1].toDouble();
    }
    return -1;
}

}  // namespace corvat::test
