#include <pwd.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "serial/doctor/advice_text.h"
#include "serial/doctor/port_holders.h"

namespace corvat {

namespace {
const QString& kIndent = kAdviceIndent;

QString UserName(unsigned id) {
    const passwd* user = ::getpwuid(static_cast<uid_t>(id));
    return user != nullptr ? PrintableOnly(QString::fromLocal8Bit(user->pw_name)) : QString::number(id);
}

// One rules file per adapter, so that the advice followed for a second adapter keeps the first one's.
// Nothing is suggested for a kernel name that a udev string could not hold as it is.
QStringList ModemManagerRule(const QString& canonical, const Surroundings& around) {
    const QString kernelName = QFileInfo(canonical).fileName();
    QString match = QStringLiteral("KERNEL==\"%1\"").arg(kernelName);
    QString file = kernelName;
    for (const PresentPort& port : around.ports) {
        if (port.device != canonical || !port.vendorId || !port.productId) continue;
        match = QStringLiteral("ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\"")
                    .arg(Hex4(*port.vendorId), Hex4(*port.productId));
        file = Hex4(*port.vendorId) + QLatin1Char('-') + Hex4(*port.productId);
    }
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    if (!plain.match(file).hasMatch()) return {};
    const QString rule = match + QStringLiteral(", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
    const QString path = QStringLiteral("/etc/udev/rules.d/70-corvat-%1.rules").arg(file);
    return {QStringLiteral("echo %1 | sudo tee %2 >/dev/null").arg(ShellQuoted(rule), ShellQuoted(path)),
            QStringLiteral("sudo udevadm control --reload-rules")};
}

// who: how sure we are that ModemManager holds the port.
QStringList ModemManagerAdvice(const QString& who, const QString& canonical, const Surroundings& around) {
    QStringList lines{
        who + QStringLiteral("：它会探测新插上的调制解调器，刚插上的串口适配器也会被它打开试探一阵。")};
    const QStringList rule = ModemManagerRule(canonical, around);
    if (rule.isEmpty()) return lines << QStringLiteral("它试探完就会放开，稍候再联机即可。");
    lines << QStringLiteral(
        "它试探完就会放开，稍候再联机即可；要让它以后不再碰这个适配器，请在终端执行以下两行，"
        "然后拔下适配器再插上：");
    for (const QString& command : rule) lines << kIndent + command;
    return lines;
}

QStringList StaleLockText(const QString& device, const QList<StaleLock>& locks) {
    QStringList lines;
    for (const StaleLock& lock : locks)
        lines << QStringLiteral(
                     "串口 %1 被一个残留的锁文件挡住：%2 属于用户 %3，创建它的进程 %4 已经结束，"
                     "但当前用户无权删除它。请让该用户或管理员在终端执行：")
                     .arg(device, lock.path, UserName(lock.ownerId))
                     .arg(lock.pid)
              << kIndent + QStringLiteral("sudo rm -f -- ") + ShellQuoted(lock.path);
    return lines;
}

QString HolderName(const PortHolder& holder) {
    if (!holder.program.isEmpty()) return QStringLiteral("进程 %1（%2）").arg(holder.pid).arg(holder.program);
    if (!holder.lockFile.isEmpty())
        return QStringLiteral("另一用户的程序（进程 %1，锁文件 %2）").arg(holder.pid).arg(holder.lockFile);
    return QStringLiteral("进程 %1").arg(holder.pid);
}
}  // namespace

QString Hex4(quint16 value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

QStringList BusyText(const PortRequest& request, const Surroundings& around) {
    const QString& device = request.device;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    QStringList paths{device};
    if (!canonical.isEmpty() && canonical != device) paths << canonical;
    const HolderSearch search = FindHolders(paths, around.procRoot, around.lockFolders, around.userId);
    const QString realDevice = canonical.isEmpty() ? device : canonical;
    if (search.holders.isEmpty() && !search.staleLocks.isEmpty())
        return StaleLockText(device, search.staleLocks);
    QStringList lines;
    if (search.holders.isEmpty()) {
        lines << QStringLiteral("串口 %1 正被其他程序占用，请先关闭占用它的程序。").arg(device)
              << QStringLiteral("占用它的进程不属于当前用户，看不到是哪一个；可以用 sudo fuser -v %1 查看。")
                     .arg(ShellQuoted(realDevice));
        if (!search.modemManagerRunning) return lines;
        return lines +
               ModemManagerAdvice(QStringLiteral("ModemManager 正在运行，很可能是它"), realDevice, around);
    }
    QStringList named;
    for (const PortHolder& holder : search.holders) named << HolderName(holder);
    lines << QStringLiteral("串口 %1 正被其他程序占用：%2。请先关闭占用它的程序。")
                 .arg(device, named.join(QStringLiteral("、")));
    const bool modemManager = std::any_of(search.holders.cbegin(), search.holders.cend(), IsModemManager);
    if (!modemManager) return lines;
    return lines + ModemManagerAdvice(QStringLiteral("占用它的是 ModemManager"), realDevice, around);
}

}  // namespace corvat
