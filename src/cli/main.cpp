// travik-cli: the batch tool. Each command opens a flash file exactly as the program
// does and prints what scripts and tests need.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"

const CommandInfo kCommands[] = {
    {"analyze", "FLASH [--more] [--save]",
     "Opens FLASH with its info file (or makes the defaults) and prints what the analysis\n"
     "found. --more runs Find More Routines first (routines reached through pointers and\n"
     "prologues, literal pools, strings and tables as data). --save writes the info file\n"
     "beside FLASH.",
     RunAnalyzeCommand},
    {"jumplist", "FLASH [--base]",
     "Prints the jump-list entries; --base shows addresses with the base 0x200000.",
     RunJumplistCommand},
    {"lines",
     "FLASH [--from OFF] [--to OFF] [--base] [--lower] [--no-hex] [--no-ascii] [--no-strings]\n"
     "      [--gnu]",
     "Prints the listing lines of a range (hex image offsets) with their annotations.\n"
     "Control characters of texts are shown as \\xNN. --gnu writes the instructions as\n"
     "arm-none-eabi-objdump -d does (View GNU Syntax).",
     RunLinesCommand},
    {"export",
     "FLASH --from OFF --to OFF -o FILE [--base] [--lower] [--no-hex] [--no-ascii] [--no-strings]\n"
     "      [--gnu]",
     "Writes the range as an assembly file with CR LF line ends (\".asm\" is added to a\n"
     "name without a dot). The flash file itself is never written. --gnu writes a source\n"
     "that arm-none-eabi-as -mthumb -mbig-endian -march=armv4t assembles and objcopy -O\n"
     "binary turns back into the bytes of the range (View GNU Syntax).",
     RunExportCommand},
    {"run",
     "FLASH --start OFF [--steps N | --until ADDR | --over | --run] [--max-steps N]\n"
     "      [--break ADDR]... [--watch-read ADDR[:LEN]]... [--watch-write ADDR[:LEN]]...\n"
     "      [--ram FILE] [--save-ram FILE] [--lcd] [--io-map] [--lcd-who X,Y]...",
     "Starts the emulator at image offset OFF (even, inside the image) and runs N steps\n"
     "(default 0), until the phone address ADDR (flash at 200000, stack RAM at 100000), or\n"
     "over the call at OFF. --max-steps bounds every run (default 100000000). Prints the\n"
     "warnings as they come, then the registers, the flags, the call stack and, with --lcd,\n"
     "the phone's display. --ram loads a RAM image file first; --save-ram writes the stack\n"
     "RAM to FILE after the run (complete or not at all; never the flash file).\n"
     "--run runs freely as the Run command does, until a breakpoint (--break: a phone\n"
     "address in the flash; not the start instruction), a watchpoint (--watch-read,\n"
     "--watch-write: a stack RAM address and a decimal length, 1 by default), an\n"
     "instruction that writes a warning, or the step bound, and prints why before the\n"
     "registers: \"stopped: breakpoint ADDR\", \"stopped: read|write watchpoint ADDR by\n"
     "INSTRUCTION value VALUE\", \"stopped: warning\" or \"stopped: limit\", then\n"
     "\"instructions: N\". Only the breakpoints and watchpoints given here count, never\n"
     "those kept beside the flash file.\n"
     "--io-map records the run's accesses of the I/O registers, the low window and the\n"
     "RAM named in the info file, and prints them last: per address the reads and writes\n"
     "with the last value, then each instruction that made them. --lcd-who X,Y (column\n"
     "0-83 from the left, row 0-47 from the top, as --lcd prints them) prints which\n"
     "instruction last wrote the display byte of that pixel during the run.",
     RunRunCommand},
    {"merge", "FLASH OTHER.ifo [--answer yes|no]",
     "Merges the annotations of OTHER.ifo (an info file of the same image) into what opening\n"
     "FLASH gives, as the Merge command does, and saves FLASH's info file. Each question\n"
     "is printed as the box shows it, followed by \"answer: yes\" or \"answer: no\" (the\n"
     "--answer given, default no). A file of another image or a damaged one is reported,\n"
     "exit status 1, and FLASH's info file is left as it was.",
     RunMergeCommand},
    {"fix", "FLASH",
     "Runs \"Fix ifo file\": takes the user mark off the \"Routine...\" headers and \"end\n"
     "routine\" footers the analysis made, then saves FLASH's info file.",
     RunFixCommand},
    {"recover", "FLASH [--answer yes|no]",
     "Offers the changes the journal FLASH's info file has beside it (NAME.jnl) kept after\n"
     "the last save, as opening FLASH in the window does: the question is printed as the\n"
     "box shows it, followed by the answer (--answer, default no). Yes replays them and\n"
     "saves the info file; No keeps the journal as NAME.jnl.old. Prints \"recovered: N\".",
     RunRecoverCommand},
    {"search",
     "FLASH [--mode 1|2|3|4] [--start OFF] [--all] [--notes] [--base] [--lower] [--no-hex]\n"
     "      [--no-ascii] [--no-strings] [--gnu] [--] PATTERN",
     "Searches as Find and Find Next do, from image offset OFF (hex, default 0) and then\n"
     "from the beginning. Modes: 1 hex bytes (default), 2 hex digits at any digit, 3 text\n"
     "of the item lines ignoring case, 4 text with case. Prints the item's offset in hex,\n"
     "or -1 (exit status 1). --all prints every item with a match, in ascending order.\n"
     "In modes 1 and 2 ? stands for any hex digit (?? any byte); a pattern of wildcards\n"
     "only is refused. The listing options change the lines that modes 3 and 4 search;\n"
     "--notes (\"Notes and names too\") makes them also search each item's notes, header,\n"
     "footer, explanations and the RAM names it points into. An odd number of digits in\n"
     "mode 1 is a usage error (exit status 2).",
     RunSearchCommand},
    {"refs", "FLASH ADDRESS [--base]",
     "Lists what refers to the item at ADDRESS (a flash address: image offset + 200000,\n"
     "hex), as the References bar does: one referrer a line, its listing line with the\n"
     "kind (call, branch, load, pointer) after its displayed address, in address order.",
     RunRefsCommand},
    {"elf", "FLASH -o FILE",
     "Writes the image as an ELF32 big-endian ARM executable for objdump and gdb: the image\n"
     "as .text at 200000, a FUNC symbol per routine (its header as the name; letters,\n"
     "digits and _ kept, any other character made _, repeats numbered _2, _3, ...), an\n"
     "OBJECT symbol per RAM name at 100000 + offset, the mapping symbols $t, $a and $d,\n"
     "and every note, header, footer, explanation and RAM name in .travik.notes (a line\n"
     "each: ADDRESS KIND TEXT). Written whole or not at all; never the flash file.",
     RunElfCommand},
    {"symbols", "FLASH FILE [--answer yes|no]",
     "Names routines and RAM variables from FILE: an ELF file's FUNC and OBJECT symbols, nm\n"
     "output or ADDRESS NAME lines (hex). An even address in the image gets a routine\n"
     "header (bit 0 of a code address is the THUMB bit), one in the stack RAM a RAM name\n"
     "(as long as the symbol's size). Replacing a header the user typed is asked first:\n"
     "the question is printed with \"answer: yes\" or \"answer: no\" (--answer, default no).\n"
     "Prints \"N routines named, M RAM names, K skipped (outside the image)\" and saves the\n"
     "info file when it changed. A damaged file is reported, exit status 1, nothing changed.",
     RunSymbolsCommand},
    {"gdbserver", "FLASH [--port N] [--start OFF] [--listen ADDR] [--once]",
     "Serves the GDB remote protocol on TCP port N (default 1234; 0 takes a free one) of\n"
     "127.0.0.1 only; --listen ADDR (an IPv4 address, 0.0.0.0 for all) opens it to other\n"
     "machines: anyone who reaches the port can read and change the emulation. Prints\n"
     "\"GDB: listening on ADDR:PORT\" at once, then a line when a client connects, detaches,\n"
     "kills the emulation or is lost. A client finds the emulation started at image offset\n"
     "OFF (hex, default 0), with gdb's breakpoints and watchpoints only (never those kept\n"
     "beside the flash file). One client at a time: another is refused. Runs until SIGINT\n"
     "or SIGTERM; with --once, until the first client has gone.\n"
     "In gdb: set architecture arm, set endian big, target remote :PORT.",
     RunGdbServerCommand},
    {"script", "FILE.py [ARGS]...",
     "Runs the Python script FILE.py with ARGS under Debian's python3, with the module\n"
     "travik (the program's core: documents, listing, edits, emulator) importable; the\n"
     "script's exit status is the command's. 'import travik; help(travik)' tells more.",
     RunScriptCommand},
};
const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

namespace {

int Usage(std::FILE* to, int status) {
    std::fputs(
        "usage: travik-cli COMMAND ARGS...   (travik-cli COMMAND --help for more)\n"
        "commands:\n",
        to);
    for (const CommandInfo& c : kCommands) std::fprintf(to, "  %s %s\n", c.name, c.synopsis);
    std::fputs(
        "Exit status: 0 success, 1 a file could not be opened, read or written, 2 usage "
        "error.\n",
        to);
    return status;
}

// Output that did not reach its destination (a full disk, a closed pipe) is a failure.
int FinishOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "Cannot write file: stdout: %s\n", std::strerror(errno));
        return status == kExitUsage ? status : kExitOpenFailed;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage(stderr, kExitUsage);
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help")
        return FinishOutput(Usage(stdout, kExitOk));
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const CommandInfo& c : kCommands) {
        if (name != c.name) continue;
        // The words after a script's name are the script's own.
        const bool help = c.run == RunScriptCommand
                              ? !args.empty() && (args[0] == "--help" || args[0] == "-h")
                              : WantsHelp(args);
        if (help) {
            PrintHelp(c);
            return FinishOutput(kExitOk);
        }
        return FinishOutput(c.run(args));
    }
    std::fprintf(stderr, "travik-cli: unknown command '%s'\n", name.c_str());
    return Usage(stderr, kExitUsage);
}
