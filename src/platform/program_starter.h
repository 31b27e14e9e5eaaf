#pragma once

#include <QString>
#include <QStringList>

namespace corvat {

// Starts another program by its path and argument list, never through a shell, without waiting and
// without keeping a handle. Replaceable so that tests can record starts they cannot let happen.
class ProgramStarter {
  public:
    virtual ~ProgramStarter() = default;
    // hidden: no window wanted (the converter). Returns false when the program could not be started.
    virtual bool Start(const QString& program, const QStringList& arguments, bool hidden) = 0;
};

// The real one: QProcess::startDetached.
class DetachedProgramStarter : public ProgramStarter {
  public:
    bool Start(const QString& program, const QStringList& arguments, bool hidden) override;
};

}  // namespace corvat
