#include "platform/program_starter.h"

#include <QProcess>

namespace corvat {

bool DetachedProgramStarter::Start(const QString& program, const QStringList& arguments, bool hidden) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (hidden) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    return process.startDetached();
}

}  // namespace corvat
