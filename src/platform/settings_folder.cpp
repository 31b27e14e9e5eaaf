#include "platform/settings_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "platform/shell_quote.h"
#include "platform/system_dir.h"

namespace corvat {

namespace {
const QString kNotSaved = QStringLiteral("本次运行的设置（端口和启动选项）不会保存。");

QString Decoded(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

Failure Refused(FailureCode code, const QString& why) {
    return Fail(code, why + QStringLiteral("\n") + kNotSaved);
}

// Written under a name of our own beside the file, created exclusively and without following a link, then
// renamed into place only if the user has no file yet.
Result<> CopyDefaults(const QString& source, const QString& settings) {
    QFile input(source);
    if (const Result<> opened = OpenRegularFile(input); !opened) return opened;
    const QByteArray bytes = input.readAll();
    const QByteArray partial = QFile::encodeName(settings + QStringLiteral(".part"));
    ::unlink(partial.constData());  // ours from an interrupted start, or a planted link: the name goes
    const int fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return Fail(FailureCode::kIo, QStringLiteral("无法建立 %1").arg(QFile::decodeName(partial)));
    const bool written =
        ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::renameat2(AT_FDCWD, partial.constData(), AT_FDCWD,
                                QFile::encodeName(settings).constData(), RENAME_NOREPLACE) != 0) {
        ::unlink(partial.constData());
        return Fail(FailureCode::kIo, QStringLiteral("无法写入设置文件 %1").arg(settings));
    }
    return SyncFolder(QFileInfo(settings).path());
}
}  // namespace

Result<> PrepareSettingsFolder(const ProgramPlaces& places, const std::string& programDir) {
    if (places.settingsFile.empty())
        return Refused(FailureCode::kNotFound, QStringLiteral("找不到存放设置的文件夹（没有设置 HOME）。"));
    const QString settings = Decoded(places.settingsFile);
    const QString own = Decoded(programDir) + QStringLiteral("info.ini");
    if (settings == own) return {};
    const QString folder = QFileInfo(settings).path();
    if (const std::error_code made = MakePrivateFolders(QFile::encodeName(folder).toStdString()))
        return Refused(FailureCode::kIo, QStringLiteral("无法建立设置文件夹 %1：%2")
                                             .arg(folder, QString::fromLocal8Bit(made.message().c_str())));
    if (const Result<> checked = CheckOwnPrivateFolder(folder); !checked)
        return Refused(checked.code(),
                       checked.message() + QStringLiteral("，为安全起见不使用它。如果它是你自己的，"
                                                          "可以执行 chmod 700 %1 后重新启动。")
                                               .arg(ShellQuoted(folder)));
    if (QFileInfo(settings).exists() || QFileInfo(settings).isSymLink() || !QFileInfo(own).isFile())
        return {};
    // The defaults are a convenience: a copy that fails leaves a first run, and the settings still work.
    static_cast<void>(CopyDefaults(own, settings));
    return {};
}

}  // namespace corvat
