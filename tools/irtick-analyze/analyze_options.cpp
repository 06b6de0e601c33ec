#include "analyze_options.h"

#include <getopt.h>

#include <cctype>

const char kAnalyzeUsage[] =
    "Usage: irtick-analyze [OPTIONS] [CAPTURE...]\n"
    "       irtick-analyze -p PORT [--save FILE] [OPTIONS]\n"
    "\n"
    "Decodes an infrared receiver's byte stream (one byte per burst-to-burst\n"
    "interval, ticks of 64 us, modulo 256): NEC, Samsung32, JVC, LG, Kaseikyo,\n"
    "Sharp, Sony, RC5 and RC6.  Reads capture files (as irtick -a writes them;\n"
    "- is standard input, also when no CAPTURE is given) or, with -p, a live\n"
    "receiver until any key or Ctrl+C.\n"
    "\n"
    "Options:\n"
    "  --json          JSON Lines: frame, unknown and summary objects\n"
    "  --sim           an irtick-sim script that replays the presses\n"
    "  --histogram     the intervals as a histogram\n"
    "  --crlf          the capture went through a Windows text stream:\n"
    "                  every 13 10 pair is read as 10\n"
    "  -p, --port PORT read the receiver on PORT (COMn, /dev/ttyUSB0, ...)\n"
    "      --save FILE with -p: append every received byte to FILE\n"
    "  --help          print this text\n"
    "  --version       print the version\n"
    "\n"
    "Exit status: 0 when every input could be read, 2 for a bad option or an\n"
    "input that cannot be read or opened.\n";

namespace {

enum LongOnlyOption : int {
    kOptionJson = 256,
    kOptionSim,
    kOptionHistogram,
    kOptionCrlf,
    kOptionSave,
    kOptionHelp,
    kOptionVersion,
};

// The leading ':' makes a missing value its own case.
constexpr char kShortOptions[] = ":p:";

const option kLongOptions[] = {
    {"json", no_argument, nullptr, kOptionJson},
    {"sim", no_argument, nullptr, kOptionSim},
    {"histogram", no_argument, nullptr, kOptionHistogram},
    {"crlf", no_argument, nullptr, kOptionCrlf},
    {"port", required_argument, nullptr, 'p'},
    {"save", required_argument, nullptr, kOptionSave},
    {"help", no_argument, nullptr, kOptionHelp},
    {"version", no_argument, nullptr, kOptionVersion},
    {nullptr, 0, nullptr, 0},
};

struct FormOption {
    int code;
    int32_t form;
    const char* name;
};

const FormOption kFormOptions[] = {
    {kOptionJson, AnalyzeJsonForm, "--json"},
    {kOptionSim, AnalyzeSimForm, "--sim"},
    {kOptionHistogram, AnalyzeHistogramForm, "--histogram"},
};

const FormOption* FindFormOption(int code)
{
    for (const FormOption& form : kFormOptions) {
        if (form.code == code) return &form;
    }
    return nullptr;
}

// getopt_long has just refused the argument `given`: ':' a missing value,
// '?' an unknown option (optopt holds a short option's letter).
std::string DescribeBadOption(int code, const char* given)
{
    if (code == ':') return std::string("option ") + given + " needs a value";
    // For a long option optopt is 0 or the option's code, not a letter.
    const bool shortOption = optopt > 0 && optopt < 128 && std::isalnum(optopt);
    if (shortOption) return std::string("unknown option -") + static_cast<char>(optopt);
    return std::string("unknown option ") + given;
}

// The combinations that make no sense; the first that applies is reported.
const char* FindConflict(const AnalyzeOptions& options)
{
    const bool live = !options.portName.empty();
    if (live && !options.captures.empty()) return "--port reads the receiver, not capture files";
    if (!live && !options.savePath.empty()) return "--save needs --port";
    if (live && options.undoCrlf) return "--crlf applies to capture files, not to --port";
    return nullptr;
}

}  // namespace

int32_t ParseAnalyzeOptions(int argc, char** argv, AnalyzeOptions* options,
                            std::string* message)
{
    *options = AnalyzeOptions();
    const FormOption* chosenForm = nullptr;
    bool portGiven = false;
    optind = 1;
    opterr = 0;  // the messages are ours, with the program's name
    for (;;) {
        const int code = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (code == -1) break;
        if (const FormOption* form = FindFormOption(code)) {
            if (chosenForm != nullptr && chosenForm != form) {
                *message = std::string(chosenForm->name) + " and " + form->name +
                           " exclude each other";
                return AnalyzeParseBad;
            }
            chosenForm = form;
            options->form = form->form;
            continue;
        }
        switch (code) {
            case kOptionCrlf: options->undoCrlf = true; break;
            case 'p':
                portGiven = true;
                options->portName = optarg;
                break;
            case kOptionSave: options->savePath = optarg; break;
            case kOptionHelp: return AnalyzeParseHelp;
            case kOptionVersion: return AnalyzeParseVersion;
            default:
                *message = DescribeBadOption(code, argv[optind - 1]);
                return AnalyzeParseBad;
        }
    }
    if (portGiven && options->portName.empty()) {
        *message = "--port needs a port name";
        return AnalyzeParseBad;
    }
    for (int index = optind; index < argc; ++index) options->captures.push_back(argv[index]);
    if (!portGiven && options->captures.empty()) options->captures.push_back("-");
    if (const char* conflict = FindConflict(*options)) {
        *message = conflict;
        return AnalyzeParseBad;
    }
    return AnalyzeParseRun;
}
