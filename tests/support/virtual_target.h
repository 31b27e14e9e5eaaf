#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>

namespace corvat::test {

// Runs the event loop until condition holds or the limit has passed; true when it held.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(20));

// The number after key in the target's "stats" lines ("stats download_ms 123.4 floor_ms ..."); -1 when
// missing.
double StatsField(const QStringList& lines, const QString& key);

// The virtual target as a child process on a fresh pseudo-terminal, linked as ports/COM1 inside a
// temporary folder that can serve as the loader's program folder. Stopped when destroyed.
class VirtualTarget {
  public:
    // options: the target's own command-line options (--kind 1, --reject 2x3, ...).
    explicit VirtualTarget(QStringList options = {});
    ~VirtualTarget();
    VirtualTarget(const VirtualTarget&) = delete;
    VirtualTarget& operator=(const VirtualTarget&) = delete;

    // Starts the target and waits for its link; false with *error filled when it does not come up.
    bool Start(QString* error);
    void Stop();
    bool Running() const { return m_process.state() != QProcess::NotRunning; }
    // The exit status once it has ended by itself (a replay ends when its recording is played).
    int ExitCode() const { return m_process.exitCode(); }

    QString Folder() const;    // the temporary folder, ending in "/": an AppDir whose COM1 is the target
    QString LinkPath() const;  // <Folder>ports/COM1
    QString FilePath(const QString& name) const { return Folder() + name; }

    QStringList Transcript() const;  // every line so far
    QStringList Events() const;      // the "-- " lines, without time and marker
    QByteArray Received() const;     // every byte the target read, in order
    QByteArray Sent() const;         // every byte the target wrote, in order
    QByteArray Flash() const;        // the flash file of the last completed download
    bool HasEvent(const QString& text) const { return Events().contains(text); }
    bool WaitForEvent(const QString& text, std::chrono::milliseconds limit = std::chrono::seconds(20)) const;

    // Switches the target off and on again: it greets anew.
    void PowerCycle();

  private:
    QByteArray Bytes(const QString& direction) const;

    QStringList m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
};

}  // namespace corvat::test
