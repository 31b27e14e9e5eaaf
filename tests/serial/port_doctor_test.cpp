#include "serial/doctor/port_doctor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>

namespace corvat {
namespace {

const PresentPort kFtdi{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", 0x0403, 0x6001, "A50285BI", {}};
const PresentPort kCh340{"/dev/ttyUSB1", "USB2.0-Serial", "1a86", 0x1a86, 0x7523, "", {}};
const PresentPort kAcm{"/dev/ttyACM0", "", "Arduino (www.arduino.cc)", 0x2341, 0x0043, "8573", {}};
const QString kById = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr unsigned kUser = 1000, kDialout = 20, kUucp = 14, kTty = 5;

// How the open failed, as QSerialPort and the device's modes tell it.
enum Failure { kNoFile, kLocked, kBusyText, kDenied, kNoDevice, kIoError, kNoAddress, kNotATty };
// What else the doctor finds on the made-up system.
enum Scene {
    kNoPorts,
    kOnePort,
    kThreePorts,
    kOutsider,
    kUucpOnly,
    kNewMember,
    kModes,
    kRootOnly,
    kQuiet,
    kStranger,  // every process and lock file belongs to another user
    kTtyGroup,
};

struct DoctorRow {
    const char* name;
    const char* text;
    std::uint8_t number;
    const char* device;
    Failure failure;
    Scene scene;
    OpenFault fault;
    // Parts of the advice, separated by "|"; "@" stands for the test's folder and "{by-id}" for the
    // FTDI adapter's stable name.
    const char* has;
    const char* hasNot = "";
};

void PrintTo(const DoctorRow& row, std::ostream* out) {
    *out << row.name;
}

// One made-up system: a /dev/serial/by-id with the FTDI adapter's stable name, a process table where
// minicom, screen and ModemManager run (a quiet one without ModemManager), lock files, and a program
// folder whose name needs quoting in a shell.
class PortDoctor : public ::testing::TestWithParam<DoctorRow> {
  protected:
    static void SetUpTestSuite() {
        root = new QTemporaryDir;
        QDir().mkpath(At("@/by-id"));
        QFile::link("/dev/ttyUSB0", At("@/by-id/") + kById);
        QDir().mkpath(At("@/Program Files/ports"));
        QDir().mkpath(At("@/fresh"));  // a program folder without a ports folder
        QFile::link("/dev/ttyUSB9", At("@/Program Files/ports/COM4"));
        for (const char* proc : {"@/proc/", "@/quiet/"}) {
            Process(At(proc) + "4242", "minicom", "/dev/ttyUSB1");
            Process(At(proc) + "31337", "screen", "");
        }
        Process(At("@/proc/777"), "ModemManager", "/dev/ttyACM0");
        Process(At("@/proc/5150"), "evil\x1b[2J\nsudo sh\x07", "/dev/ttyUSB4");
        QDir().mkpath(At("@/lock"));
        Write(At("@/lock/LCK..ttyUSB2"), "     31337\n");
        Write(At("@/lock/LCK..ttyUSB3"), "     99999\n");  // its owner has gone
        Write(At("@/lock/LCK..ttyUSB6"), "     99998\n");
        ASSERT_EQ(::mkfifo(QFile::encodeName(At("@/lock/LCK..ttyUSB5")).constData(), 0600), 0);
    }
    static void TearDownTestSuite() { delete root; }

    static void Process(const QString& folder, const QByteArray& name, const QString& holds) {
        QDir().mkpath(folder + "/fd");
        Write(folder + "/comm", name + "\n");
        if (!holds.isEmpty()) QFile::link(holds, folder + "/fd/3");
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QString At(QString text) {
        return text.replace("{by-id}", "@/by-id/" + kById).replace("@", root->path());
    }
    static QStringList Parts(const char* parts) {
        return At(QString::fromUtf8(parts)).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    }

    static Surroundings Around(const DoctorRow& row) {
        Surroundings around;
        around.deviceExists = row.failure != kNoFile;
        around.accessDenied = row.failure == kDenied;
        around.ports = row.scene == kNoPorts      ? QList<PresentPort>{}
                       : row.scene == kThreePorts ? QList{kFtdi, kCh340, kAcm}
                                                  : QList{kFtdi};
        if (!around.ports.isEmpty()) around.ports[0].stableName = At("{by-id}");
        around.userName = "alice";
        around.userId = row.scene == kStranger ? ::geteuid() + 1 : ::geteuid();
        around.primaryGroup = kUser;
        around.sessionGroups = {kUser};
        around.deviceGroup = row.scene == kUucpOnly   ? kUucp
                             : row.scene == kRootOnly ? 0
                             : row.scene == kTtyGroup ? kTty
                                                      : kDialout;
        around.deviceMode = row.scene == kTtyGroup ? 0620 : 0660;
        around.groups = {{kDialout, {"dialout", {"bob"}}},
                         {kUucp, {"uucp", {}}},
                         {0, {"root", {}}},
                         {kTty, {"tty", {"alice"}}}};
        if (row.scene == kNewMember || row.scene == kModes) around.groups[kDialout].members << "alice";
        if (row.scene == kModes) around.sessionGroups << kDialout;
        around.procRoot = At(row.scene == kQuiet || row.scene == kStranger ? "@/quiet" : "@/proc");
        around.lockFolders = {At("@/lock")};
        return around;
    }

    static inline QTemporaryDir* root = nullptr;
};

TEST_P(PortDoctor, NamesTheCauseAndTheFix) {
    const DoctorRow& row = GetParam();
    const Surroundings around = Around(row);
    const std::pair<QSerialPort::SerialPortError, int> opened[] = {
        {QSerialPort::DeviceNotFoundError, ENOENT}, {QSerialPort::PermissionError, 0},
        {QSerialPort::UnknownError, EBUSY},         {QSerialPort::PermissionError, EACCES},
        {QSerialPort::DeviceNotFoundError, ENODEV}, {QSerialPort::ResourceError, EIO},
        {QSerialPort::UnknownError, ENXIO},         {QSerialPort::UnsupportedOperationError, ENOTTY}};
    const auto [error, code] = opened[row.failure];
    const QString errorText = code ? qt_error_string(code) : "Permission error while locking the device";
    const OpenFault fault = ClassifyOpenFault(error, errorText, around);
    EXPECT_EQ(fault, row.fault);
    // COM7's row shows the advice for a program folder that has no ports folder yet.
    const QString appDir = At(row.number == 7 ? "@/fresh/" : "@/Program Files/");
    const QString advice = Diagnose(PortRequest(At(row.device), row.text, row.number, appDir), fault, around);
    for (const QString& part : Parts(row.has)) EXPECT_TRUE(advice.contains(part)) << part.toStdString();
    for (const QString& part : Parts(row.hasNot)) EXPECT_FALSE(advice.contains(part)) << part.toStdString();
    EXPECT_EQ(advice.isEmpty(), Parts(row.has).isEmpty()) << advice.toStdString();
}

using F = OpenFault;

INSTANTIATE_TEST_SUITE_P(
    Faults, PortDoctor,
    ::testing::Values(
        DoctorRow{"Missing", "COM3", 3, "/dev/ttyS2", kNoFile, kOnePort, F::kMissing,
                  "“COM3”|/dev/ttyUSB0：FT232R USB UART，FTDI，0403:6001，序列号 A50285BI|固定名称：{by-id}|"
                  "要让“COM3”打开它|ln -sf {by-id} '@/Program Files/ports/COM3'",
                  "mkdir"},
        DoctorRow{
            "MissingAmongSeveral", "COM3", 3, "/dev/ttyS2", kNoFile, kThreePorts, F::kMissing,
            "打开其中一个|ln -sf {by-id} '@/Program Files/ports/COM3'|/dev/ttyUSB1：USB2.0-Serial，1a86，"
            "1a86:7523\n|ln -sf /dev/ttyUSB1 '@/Program Files/ports/COM3'|/dev/ttyACM0：Arduino"},
        DoctorRow{"NoPortsAtAll", "COM1", 1, "/dev/ttyS0", kNoFile, kNoPorts, F::kMissing,
                  "未发现任何串口设备|USB 线和串口适配器", "ln -sf"},
        DoctorRow{"NoPortsFolderYet", "COM7", 7, "/dev/ttyS6", kNoFile, kOnePort, F::kMissing,
                  "mkdir -p @/fresh/ports/ && ln -sf {by-id} @/fresh/ports/COM7"},
        DoctorRow{"DanglingLink", "COM4", 4, "@/Program Files/ports/COM4", kNoFile, kOnePort, F::kMissing,
                  "是指向 /dev/ttyUSB9 的链接|'@/Program Files/ports/COM4'"},
        DoctorRow{"VanishedNode", "/dev/ttyUSB7", 7, "/dev/ttyUSB7", kNoDevice, kOnePort, F::kMissing,
                  "找不到串口设备 /dev/ttyUSB7|请在端口框中填写其中一个设备路径", "ln -sf"},
        DoctorRow{"PortZero", "COM10", 0, "/dev/ttyS-1", kNoFile, kOnePort, F::kMissing,
                  "“COM10”|0 号端口|端口号从 1 开始|请在端口框中填写", "ln -sf|ttyS-1"},
        DoctorRow{"DeviceNameAsPortName", "ttyUSB0", 0, "/dev/ttyS-1", kNoFile, kOnePort, F::kMissing,
                  "“ttyUSB0”|末位数字"},
        DoctorRow{"Denied", "COM1", 1, "/dev/ttyUSB0", kDenied, kOutsider, F::kDenied,
                  "没有权限打开串口 /dev/ttyUSB0：当前用户须属于 dialout 组（sudo usermod -aG dialout $USER，"
                  "然后重新登录）。"},
        DoctorRow{"DeniedByAnotherGroup", "COM1", 1, "/dev/ttyUSB0", kDenied, kUucpOnly, F::kDenied,
                  "须属于 uucp 组|usermod -aG uucp", "dialout"},
        DoctorRow{"DeniedUntilTheNextLogin", "COM1", 1, "/dev/ttyUSB0", kDenied, kNewMember, F::kDenied,
                  "用户 alice 已在 dialout 组中|注销后重新登录", "usermod"},
        DoctorRow{"DeniedByTheModes", "COM1", 1, "/dev/ttyUSB0", kDenied, kModes, F::kDenied, "不许该组读写",
                  "usermod"},
        DoctorRow{"DeniedToAllButRoot", "COM1", 1, "/dev/ttyS0", kDenied, kRootOnly, F::kDenied,
                  "只允许 root 使用", "usermod -aG root"},
        DoctorRow{"Busy", "/dev/ttyUSB1", 1, "/dev/ttyUSB1", kLocked, kOnePort, F::kBusy,
                  "串口 /dev/ttyUSB1 正被其他程序占用：进程 4242（minicom）。", "ModemManager"},
        DoctorRow{"BusyByALockFile", "/dev/ttyUSB2", 2, "/dev/ttyUSB2", kBusyText, kQuiet, F::kBusy,
                  "进程 31337（screen）", "fuser"},
        DoctorRow{"BusyUnseen", "/dev/ttyUSB3", 3, "/dev/ttyUSB3", kLocked, kQuiet, F::kBusy,
                  "请先关闭占用它的程序。|sudo fuser -v /dev/ttyUSB3", "99999|ModemManager"},
        DoctorRow{
            "ModemManager", "/dev/ttyACM0", 0, "/dev/ttyACM0", kLocked, kThreePorts, F::kBusy,
            "进程 777（ModemManager）|占用它的是 ModemManager|echo 'ATTRS{idVendor}==\"2341\", "
            "ATTRS{idProduct}==\"0043\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"'|udevadm control --reload-rules",
            "fuser"},
        DoctorRow{"ModemManagerUnseen", "/dev/ttyACM1", 1, "/dev/ttyACM1", kLocked, kOnePort, F::kBusy,
                  "sudo fuser -v /dev/ttyACM1|很可能是它|KERNEL==\"ttyACM1\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
                  "进程 777"},
        DoctorRow{
            "NoHardware", "COM2", 2, "/dev/ttyS1", kIoError, kOnePort, F::kNoHardware,
            "/dev/ttyS1 处没有串口硬件|“COM2”在 @/Program Files/ports/ 中没有链接|传统串口名 /dev/ttyS1|"
            "ln -sf {by-id} '@/Program Files/ports/COM2'"},
        DoctorRow{"NoHardwareNoPorts", "/dev/ttyS3", 3, "/dev/ttyS3", kNoAddress, kNoPorts, F::kNoHardware,
                  "/dev/ttyS3 处没有串口硬件|未发现任何串口设备", "没有链接"},
        DoctorRow{"HolderNameWithEscapes", "/dev/ttyUSB4", 4, "/dev/ttyUSB4", kLocked, kOnePort, F::kBusy,
                  "进程 5150（evil[2Jsudo sh）", "\x1b|\x07|\nsudo"},
        DoctorRow{"FifoInALockFolder", "/dev/ttyUSB5", 5, "/dev/ttyUSB5", kLocked, kQuiet, F::kBusy,
                  "sudo fuser -v /dev/ttyUSB5"},
        DoctorRow{"AnotherUsersProgram", "/dev/ttyUSB2", 2, "/dev/ttyUSB2", kLocked, kStranger, F::kBusy,
                  "另一用户的程序（进程 31337，锁文件 @/lock/LCK..ttyUSB2）", "screen"},
        DoctorRow{
            "AnotherUsersStaleLock", "/dev/ttyUSB6", 6, "/dev/ttyUSB6", kLocked, kStranger, F::kBusy,
            "残留的锁文件挡住：@/lock/LCK..ttyUSB6|进程 99998 已经结束|sudo rm -f -- @/lock/LCK..ttyUSB6",
            "fuser"},
        DoctorRow{"TerminalDevice", "COM1", 1, "/dev/ttyS0", kDenied, kTtyGroup, F::kDenied,
                  "是终端或控制台设备|/dev/ttyUSB0：FT232R", "usermod"},
        DoctorRow{"DeviceNameWithAQuote", "/dev/tty'USB7", 7, "/dev/tty'USB7", kLocked, kQuiet, F::kBusy,
                  "sudo fuser -v '/dev/tty'\\''USB7'"},
        DoctorRow{"NotASerialPort", "/dev/null", 0, "/dev/null", kNotATty, kOnePort, F::kOther, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat
