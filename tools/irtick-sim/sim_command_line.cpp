// irtick-sim's command line: the usage text, the options and the order in
// which options and items are taken.

#include "sim_script.h"

#include <cstring>

#include "sim_items.h"
#include "sim_number.h"

const char kSimUsage[] =
    "Usage: irtick-sim [--port PATH] [--jitter PCT] [--seed N] [--fast] [--loop] ITEM...\n"
    "\n"
    "Plays an infrared receiver on a serial line: one byte per burst-to-burst\n"
    "interval, sent when the interval ends, its value the interval in ticks of\n"
    "64 us (rounded, modulo 256).  Without --port it makes a pseudo-terminal and\n"
    "prints the path of its port side on the first line of standard output;\n"
    "point irtick there:  irtick -p<path> -n -s12\n"
    "Bytes sent before the port is opened wait there.  At the end of the script\n"
    "it waits until every byte has been read from the pseudo-terminal, since\n"
    "closing it would throw the rest away; SIGINT or SIGTERM end it at once.\n"
    "\n"
    "Items, played in order (numbers decimal or 0x-hex):\n"
    "  nec:ADDR:CMD[:REPEATS]    NEC frame, then REPEATS repeat frames (default 0)\n"
    "                            108 ms apart; ADDR 0..0xFF goes with its\n"
    "                            complement, 0x100..0xFFFF is an extended address\n"
    "  sony12:CMD:ADDR[:TIMES]   Sony 12-bit frame (CMD 0..0x7F, ADDR 0..0x1F)\n"
    "  sony15:CMD:ADDR[:TIMES]   Sony 15-bit frame (ADDR 0..0xFF)\n"
    "  sony20:CMD:ADDR:EXT[:TIMES]  Sony 20-bit frame (ADDR 0..0x1F, EXT 0..0xFF)\n"
    "                            a Sony frame is sent TIMES times (default 3),\n"
    "                            45 ms apart\n"
    "  samsung:ADDR:CMD[:TIMES]  Samsung32 frame (ADDR, CMD 0..0xFF) sent TIMES\n"
    "                            times (default 1) 108 ms apart\n"
    "  jvc:ADDR:CMD[:REPEATS]    JVC frame (ADDR, CMD 0..0xFF), then REPEATS\n"
    "                            frames without leader (default 0) 55 ms apart\n"
    "  lg:DATA28[:REPEATS]       LG frame of 28 bits (0..0xFFFFFFF, highest bit\n"
    "                            first), then REPEATS NEC-style repeat frames\n"
    "                            (default 0) 108 ms apart\n"
    "  kaseikyo:VENDOR:DATA32    Kaseikyo frame: 16 vendor bits (0..0xFFFF), then\n"
    "                            32 data bits (0..0xFFFFFFFF)\n"
    "  sharp:ADDR:CMD            Sharp pair (ADDR 0..0x1F, CMD 0..0xFF): the frame,\n"
    "                            and 40 ms later its inverted twin\n"
    "  rc5:ADDR:CMD[:TOGGLE]     RC5 frame (ADDR 0..0x1F, CMD 0..0x7F, 0x40 and up\n"
    "                            as RC5X; TOGGLE 0 or 1, default 0)\n"
    "  rc6:ADDR:CMD[:TOGGLE]     RC6 mode 0 frame (ADDR, CMD 0..0xFF; TOGGLE 0\n"
    "                            or 1, default 0)\n"
    "  pause:MS                  nothing for MS milliseconds\n"
    "  us:N,N,...                bursts N microseconds apart\n"
    "  file:PATH                 a recorded byte stream, each byte sent unchanged\n"
    "                            when its interval (byte x 64 us) has passed\n"
    "                            (--jitter leaves it alone)\n"
    "\n"
    "Options:\n"
    "  --port PATH   write into this device instead of a new pseudo-terminal\n"
    "  --jitter PCT  vary every interval at random within +-PCT percent (0..50)\n"
    "  --seed N      seed for --jitter, for a repeatable run\n"
    "  --fast        send the bytes as fast as the port takes them\n"
    "  --loop        play the script again and again until stopped\n"
    "  --help        print this text\n"
    "\n"
    "Exit status: 0 when the script has been played (or SIGINT/SIGTERM ended\n"
    "the run), 1 when the port cannot be made, opened or written, 2 for a bad\n"
    "item or option.\n";

namespace {

constexpr uint64_t kLargestJitterPercent = 50;
constexpr uint64_t kLargestSeed = 0xFFFFFFFF;

bool SetPort(SimOptions* options, const std::string& value, std::string* problem) {
    if (value.empty()) {
        *problem = "PATH is empty";
        return false;
    }
    options->portPath = value;
    return true;
}

bool SetJitter(SimOptions* options, const std::string& value, std::string* problem) {
    uint64_t percent = 0;
    if (!TakeNumber(value, "PCT", 0, kLargestJitterPercent, false, &percent, problem)) {
        return false;
    }
    options->jitterPercent = static_cast<int32_t>(percent);
    return true;
}

bool SetSeed(SimOptions* options, const std::string& value, std::string* problem) {
    uint64_t seed = 0;
    if (!TakeNumber(value, "N", 0, kLargestSeed, false, &seed, problem)) {
        return false;
    }
    options->seed = static_cast<uint32_t>(seed);
    options->seedGiven = true;
    return true;
}

bool SetFast(SimOptions* options, const std::string&, std::string*) {
    options->fast = true;
    return true;
}

bool SetLoop(SimOptions* options, const std::string&, std::string*) {
    options->loop = true;
    return true;
}

struct OptionRule {
    const char* name;
    bool takesValue;
    bool (*apply)(SimOptions* options, const std::string& value, std::string* problem);
};

const OptionRule kOptionRules[] = {
    {"--port", true, SetPort},
    {"--jitter", true, SetJitter},
    {"--seed", true, SetSeed},
    {"--fast", false, SetFast},
    {"--loop", false, SetLoop},
};

constexpr char kHelpOption[] = "--help";

const OptionRule* FindOption(const std::string& name) {
    for (const OptionRule& rule : kOptionRules) {
        if (name == rule.name) {
            return &rule;
        }
    }
    return nullptr;
}

bool IsOptionText(const char* text) {
    return text[0] == '-' && text[1] != '\0';
}

}  // namespace

int32_t ParseSimCommandLine(int argc, const char* const* argv, SimCommand* command,
                            std::string* message) {
    *command = SimCommand();
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], kHelpOption) == 0) {
            return SimParseHelp;
        }
    }
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (!IsOptionText(argument)) {
            SimItem item;
            if (!ParseSimItem(argument, &item, message)) {
                return SimParseBad;
            }
            command->items.push_back(item);
            continue;
        }
        // --name VALUE or --name=VALUE
        std::string text = argument;
        size_t equals = text.find('=');
        std::string name = text.substr(0, equals);
        const OptionRule* rule = FindOption(name);
        if (rule == nullptr) {
            *message = "unknown option '" + text + "' (try --help)";
            return SimParseBad;
        }
        std::string value;
        if (rule->takesValue) {
            if (equals != std::string::npos) {
                value = text.substr(equals + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                *message = "option " + name + " needs a value";
                return SimParseBad;
            }
        } else if (equals != std::string::npos) {
            *message = "option " + name + " takes no value: '" + text + "'";
            return SimParseBad;
        }
        std::string problem;
        if (!rule->apply(&command->options, value, &problem)) {
            *message = "bad option '" + name + " " + value + "': " + problem;
            return SimParseBad;
        }
    }
    if (command->items.empty()) {
        *message = "no items to play (try --help)";
        return SimParseBad;
    }
    return SimParseRun;
}
