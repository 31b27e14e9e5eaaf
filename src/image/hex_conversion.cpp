#include "image/hex_conversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/system_dir.h"

namespace corvat {

namespace {

QString InFolder(const QString& folder, const char* name) {
    return QDir(folder).filePath(QString::fromLatin1(name));
}

}  // namespace

ConverterFiles ConverterFilesIn(const QString& programDir, const QString& systemDir) {
    return {InFolder(programDir, kConverterFileName), InFolder(systemDir, kConverterFileName),
            InFolder(systemDir, kConverterInputName), InFolder(systemDir, kConverterOutputName)};
}

StepError DeleteOldOutput(const ConverterFiles& files) {
    QFile output(files.output);
    if (output.exists() && !output.remove()) {
        return QStringLiteral("无法删除上次转换的结果：%1\n%2").arg(files.output, output.errorString());
    }
    return {};
}

StepError CopyConverter(const ConverterFiles& files) {
    if (const Result<> copied = CopyReplacing(files.source, files.copy); !copied) return copied.message();
    QFile copy(files.copy);
    const auto executable = QFileDevice::ExeOwner | QFileDevice::ReadOwner;
    if ((copy.permissions() & executable) != executable &&
        !copy.setPermissions(copy.permissions() | executable)) {
        return QStringLiteral("无法执行转换程序：%1\n%2").arg(files.copy, copy.errorString());
    }
    return {};
}

StepError CopyInput(const ConverterFiles& files, const QString& chosenPath) {
    // Copied beside and renamed into place, so even the input itself chosen again survives.
    const Result<> copied = CopyReplacing(chosenPath, files.input);
    return copied ? StepError() : copied.message();
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
