#pragma once

#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/program_starter.h"

namespace corvat::test {

// Records the programs the window would start instead of starting them. Like a real start, a program
// named by a path fails when no such file exists; a bare name (looked up on the PATH) is taken as started.
// ForceOutcome overrides both.
class RecordingStarter : public ProgramStarter {
  public:
    struct Record {
        QString program;
        QStringList arguments;
        bool hidden = false;
        bool started = false;
    };

    bool Start(const QString& program, const QStringList& arguments, bool hidden) override {
        const bool byPath = program.contains(u'/');
        const bool started = m_forced.value_or(!byPath || QFileInfo(program).isFile());
        m_records.append(Record{program, arguments, hidden, started});
        return started;
    }

    void ForceOutcome(bool started) { m_forced = started; }

    // Every attempt, failed ones too.
    const QList<Record>& Records() const { return m_records; }
    qsizetype StartedCount() const {
        qsizetype count = 0;
        for (const Record& record : m_records) count += record.started ? 1 : 0;
        return count;
    }

  private:
    QList<Record> m_records;
    std::optional<bool> m_forced;
};

}  // namespace corvat::test
