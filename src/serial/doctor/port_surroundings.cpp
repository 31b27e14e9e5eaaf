#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <vector>

#include "serial/doctor/port_doctor.h"

namespace corvat {

namespace {
QList<unsigned> SessionGroups() {
    QList<unsigned> groups{static_cast<unsigned>(::getegid())};
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return groups;
    std::vector<gid_t> ids(static_cast<std::size_t>(count));
    const int read = ::getgroups(count, ids.data());
    for (int index = 0; index < read; ++index)
        groups << static_cast<unsigned>(ids[static_cast<std::size_t>(index)]);
    return groups;
}

void ReadUser(Surroundings& around) {
    around.userId = static_cast<unsigned>(::geteuid());
    const passwd* user = ::getpwuid(::geteuid());
    if (user == nullptr) return;
    around.userName = QString::fromLocal8Bit(user->pw_name);
    around.primaryGroup = static_cast<unsigned>(user->pw_gid);
}

std::optional<GroupEntry> ReadGroup(unsigned id) {
    const group* entry = ::getgrgid(static_cast<gid_t>(id));
    if (entry == nullptr) return std::nullopt;
    GroupEntry result{QString::fromLocal8Bit(entry->gr_name), {}};
    for (char** member = entry->gr_mem; member != nullptr && *member != nullptr; ++member)
        result.members << QString::fromLocal8Bit(*member);
    return result;
}

// Where serial programs keep their lock files, QSerialPort's own choices among them; each once.
QStringList LockFolders() {
    QStringList folders;
    for (const QString& folder :
         {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QStringLiteral("/etc/locks"),
          QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"), QDir::tempPath()}) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (!canonical.isEmpty() && !folders.contains(canonical)) folders << canonical;
    }
    return folders;
}
}  // namespace

Surroundings ReadSurroundings(const QString& device) {
    Surroundings around;
    const QByteArray path = QFile::encodeName(device);
    struct stat status {};
    around.deviceExists = ::stat(path.constData(), &status) == 0;
    around.accessDenied = ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
    const std::vector<ListedPort> ports = ListSerialPorts();
    around.ports = QList<ListedPort>(ports.cbegin(), ports.cend());
    ReadUser(around);
    around.sessionGroups = SessionGroups();
    if (around.deviceExists) {
        around.deviceGroup = static_cast<unsigned>(status.st_gid);
        around.deviceMode = static_cast<unsigned>(status.st_mode & 07777);
        if (const std::optional<GroupEntry> entry = ReadGroup(*around.deviceGroup))
            around.groups.insert(*around.deviceGroup, *entry);
    }
    around.lockFolders = LockFolders();
    return around;
}

}  // namespace corvat
