#include "image/hex_conversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace corvat {

namespace {

constexpr char kConverterName[] = "HEX2BIN.EXE";
constexpr char kInputName[] = "Hexbin.hex";
constexpr char kOutputName[] = "HexBIN.bin";

QString InFolder(const QString& folder, const char* name) {
    return QDir(folder).filePath(QString::fromLatin1(name));
}

bool SameFile(const QString& a, const QString& b) {
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

// QFile::copy never overwrites, so the old target goes first. Removing rather than rewriting also keeps
// a converter that is still running from an earlier conversion from blocking the new copy.
StepError CopyReplacing(const QString& from, const QString& to, const QString& what) {
    if (SameFile(from, to)) return {};
    QFile target(to);
    if (target.exists() && !target.remove()) {
        return QStringLiteral("无法替换%1：%2\n%3").arg(what, to, target.errorString());
    }
    QFile source(from);
    if (!source.copy(to)) {
        return QStringLiteral("无法复制%1：%2\n%3").arg(what, from, source.errorString());
    }
    return {};
}

}  // namespace

ConverterFiles ConverterFilesIn(const QString& programDir, const QString& systemDir) {
    return {InFolder(programDir, kConverterName), InFolder(systemDir, kConverterName),
            InFolder(systemDir, kInputName), InFolder(systemDir, kOutputName)};
}

StepError DeleteOldOutput(const ConverterFiles& files) {
    QFile output(files.output);
    if (output.exists() && !output.remove()) {
        return QStringLiteral("无法删除上次转换的结果：%1\n%2").arg(files.output, output.errorString());
    }
    return {};
}

StepError CopyConverter(const ConverterFiles& files) {
    if (StepError error = CopyReplacing(files.source, files.copy, QStringLiteral("转换程序"));
        !error.isEmpty()) {
        return error;
    }
    QFile copy(files.copy);
    const auto executable = QFileDevice::ExeOwner | QFileDevice::ReadOwner;
    if ((copy.permissions() & executable) != executable &&
        !copy.setPermissions(copy.permissions() | executable)) {
        return QStringLiteral("无法执行转换程序：%1\n%2").arg(files.copy, copy.errorString());
    }
    return {};
}

StepError CopyInput(const ConverterFiles& files, const QString& chosenPath) {
    return CopyReplacing(chosenPath, files.input, QStringLiteral("文件"));
}

StepError StartConverter(const ConverterFiles& files, ProgramStarter& starter) {
    if (!starter.Start(files.copy, {files.input, files.output}, true)) {
        return QStringLiteral("无法启动转换程序：%1").arg(files.copy);
    }
    return {};
}

bool IsOutputReady(const ConverterFiles& files) {
    const QFileInfo output(files.output);
    return output.exists() && output.size() > 0;
}

}  // namespace corvat
