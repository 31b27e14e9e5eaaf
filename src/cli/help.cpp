#include "cli/options.h"

namespace corvat::cli {

QString HelpText() {
    return QStringLiteral(R"(用法：corvat-flash [选项] 映像文件
      corvat-flash --list-ports [--json]
把程序映像（.bin 平坦二进制，或 .hex Intel HEX，大小写不限）经串口引导程序
（9600 波特，8N1）下载到一块或多块从机，所有串口同时进行。

选项：
  -p, --port 串口            COM1 到 COM255（COM11 即 11 号串口），或以 / 开头的设备路径
                             （/dev/ttyUSB0）；可重复，但不能两次指向同一设备
      --greeting-timeout 秒  等待从机上电的时间（默认 60；0 为一直等待）
      --reply-timeout 毫秒   等待每个应答的时间（默认 2000，至少 137）
      --max-resends 次数     一页最多被拒收几次，再多则该从机失败（默认 10）
      --kind 0|1             只接受这一种从机（0：7168 字节；1：15360 字节）
      --loop                 生产模式：每块从机释放后，在同一串口等待下一块上电；
                             Ctrl-C 等信号结束并输出汇总。每次等待（第一块也是）
                             都不限时，除非给了 --greeting-timeout
      --json                 在标准输出上每行写一个 JSON 事件（进度和失败总在标准错误）
      --trace 文件           把每个串口上双向的每个字节连同时间、映像的 SHA-256 和
                             上电、超时、失败等记入跟踪文件（所有串口打开后才清空它；
                             不能是映像、串口、符号链接或非普通文件）；
                             可用 corvat-virtual-target --replay 重放
      --record 文件          每块从机结束时在文件末尾追加一行 JSON 记录
      --list-ports           列出现有的串口（不打开任何串口）
  -q, --quiet                不显示进度，只报告失败
  -h, --help                 显示本说明
      --version              显示版本

退出状态：
  0  每块从机都已下载并释放
  1  有从机失败（上电超时、识别不出、应答超时、重发过多、串口断开、被中断……），
     或记录、跟踪文件写入失败
  2  用法错误、映像文件无法读取、格式错误或过大、记录或跟踪文件不可用、串口无法打开

Ctrl-C、SIGTERM、SIGHUP、SIGPIPE 都同样结束：进行中的从机记为失败（不释放），并输出汇总。
)");
}

}  // namespace corvat::cli
