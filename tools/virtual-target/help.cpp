#include "options.h"

namespace corvat::vt {

std::string HelpText() {
    return R"(corvat-virtual-target: a simulated target boot loader on a pseudo-terminal.

It links a fresh pseudo-terminal at a COM name in the loader's program folder, so that
the loader can connect to it like to a real adapter, and behaves like a target board:
it greets with ">" when a loader opens the port (as if switched on), identifies itself,
checks every page, answers "!" or "@", keeps the received flash and tells what happened.

Usage: corvat-virtual-target [options]

Line and target:
  --link PATH            where the line appears (default: <this program's folder>/ports/COM1,
                         which the loader opens for "COM1"; when that folder is not writable,
                         as once installed: $XDG_CONFIG_HOME/corvat/ports/COM1, by default
                         ~/.config/corvat/ports/COM1, where the loader looks first)
  --ports N              N targets at once, each on its own line, linked at consecutive names
                         from --link on (COM1, COM2, ...); the fault options apply to all;
                         --flash and --transcript files get "-COMn" before their extension;
                         standard input commands are not read then
  --kind 0|1             0: 7168 bytes in 64-byte pages (default); 1: 15360 bytes in 128-byte pages
  --ident TEXT           identification answered to "<" instead of <kind>xg; may be given
                         several times: one per power-on, the last one repeats
  --page-size N          page size instead of the kind's
  --capacity N           flash size in bytes instead of the kind's
  --greeting TEXT        what power-on sends (default ">")
  --pace                 behave like a 9600 baud line: 10 bits per byte each way
  --header-busy MS       after a page header the target is busy this long (default 1): a data
                         frame that starts sooner is lost and the page rejected; 0: never busy
  --baud N               the rate for --pace (default 9600)

Power:
  --greet-delay MS       from the loader opening the port to the greeting (default 300)
  --manual               do not power on by itself; wait for a command on standard input
  Standard input commands: an empty line or "p" powers the target (off and) on again,
  "q" quits. Each power-on greets and waits for "<".

Flash:
  --flash FILE           write the flash image to FILE after every download
  --expect FILE          compare the flash with FILE (padded with FF) after every download

Faults:
  --reject PAGE[xCOUNT]  reject page PAGE COUNT times (default once) in every download; repeatable
  --answer-delay MS      wait this long before every answer
  --noise TEXT           send TEXT at power-on, before the greeting
  --noise-gap MS         pause between the noise and the greeting (default 0)
  --ident-split-ms MS    send the identification in two writes, MS apart
  --stop-after-pages N   after N accepted pages, stop answering
  --hangup-after-pages N after N accepted pages, close the line as an unplugged adapter does
  --replug-delay MS      after a hang-up, link a new line this much later (default 1000)

Replay:
  --replay FILE          play the target's side of a session recorded in FILE (a trace written by
                         corvat-flash --trace or corvat --trace) instead of simulating a boot
                         loader: each recorded answer goes out once the loader has sent all it
                         sent before it, after the recorded gap; an unplugged adapter is unplugged
                         again. Each opening of the port plays the next recorded session. Where the
                         loader sends something else, the first difference is printed (offset in
                         the loader's bytes, expected, got), the line closes and the exit status
                         is 1; 0 when the loader sent exactly what it sent in the recording.
                         --greet-delay and the fault options do not apply.
  --port NAME            the recorded port to play (as the trace names it); default: the first

Output:
  --transcript FILE      write the transcript to FILE instead of standard output
  --stats                after each download, print the loader's reaction times and the
                         download time next to the line's floor
  --once                 exit when the first session ends (release, or the loader closing)
  --help                 this text
  --version              the version

TEXT arguments take \xNN for any byte and \\ for a backslash.

Transcript lines: "<seconds> rx|tx <hex bytes> '<printable>'" for every read and write
on the line, and "<seconds> -- <event>" for power, pages, the end of a download,
the flash check and the release.
)";
}

}  // namespace corvat::vt
