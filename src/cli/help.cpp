#include "cli/options.h"

namespace corvat::cli {

QString HelpText() {
    return QStringLiteral(R"(用法：corvat-flash [选项] 映像文件
把程序映像（.bin 平坦二进制，或 .hex Intel HEX，大小写不限）经串口引导程序
（9600 波特，8N1）下载到一块或多块从机，所有串口同时进行。

选项：
  -p, --port 串口            串口名称，与窗口的写法相同（COM3、/dev/ttyUSB0）；可重复
      --greeting-timeout 秒  等待从机上电的时间（默认 60；0 为一直等待）
      --reply-timeout 毫秒   等待每个应答的时间（默认 2000）
      --max-resends 次数     一页最多被拒收几次，再多则该从机失败（默认 10）
      --kind 0|1             只接受这一种从机（0：7168 字节；1：15360 字节）
      --loop                 生产模式：每块从机释放后，在同一串口等待下一块上电；
                             Ctrl-C 结束并输出汇总。等待下一块时不限时，
                             除非给了 --greeting-timeout
      --json                 在标准输出上每行写一个 JSON 事件（进度改到标准错误）
      --trace 文件           把每个串口上双向的每个字节连同时间、映像的 SHA-256 和
                             上电、超时、失败等记入跟踪文件（所有串口打开后才清空它；
                             不能是映像、串口、符号链接或非普通文件）；
                             可用 corvat-virtual-target --replay 重放
  -q, --quiet                不显示进度，只报告失败
  -h, --help                 显示本说明
      --version              显示版本

退出状态：
  0  每块从机都已下载并释放
  1  有从机失败（上电超时、识别不出、应答超时、重发过多、串口断开、映像过大……），
     或跟踪文件写入失败
  2  用法错误、映像文件无法读取或格式错误、串口无法打开、跟踪文件不可用
)");
}

}  // namespace corvat::cli
