#pragma once
// Runs the real converter (and srec_cat as the reference) in a temporary folder of real files.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include "hex/hex_text.h"

namespace corvat::test {

inline const QString kConverter = QStringLiteral(CORVAT_PROGRAM_DIR "/HEX2BIN.EXE");

struct ProcessRun {
    int exitCode = -1;
    bool normalExit = false;
    QString errorText;
};

inline ProcessRun RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    return {process.exitCode(), process.exitStatus() == QProcess::NormalExit,
            QString::fromUtf8(process.readAllStandardError())};
}

inline void WriteBytes(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write " + path.toStdString());
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// srec_cat's own reading of the file, filled with FF from address 0 up to its highest address.
inline ProcessRun RunReference(const QString& input, const QString& output) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
    if (tool.isEmpty())
        return {-1, false, QStringLiteral("srec_cat is not installed (Debian package srecord)")};
    return RunProgram(tool, {input, "-Intel", "-fill", "0xFF", "0", "-maximum-address", input, "-Intel", "-o",
                             output, "-Binary"});
}

inline QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

}  // namespace corvat::test
