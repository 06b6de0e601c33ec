// irtick-analyze: which remote is this?  Decodes the receiver's byte stream
// from capture files or a live port and shows the presses, as text, JSON
// Lines, an irtick-sim script or an interval histogram.

#include <cstdio>
#include <string>

#include "analyze_input.h"
#include "analyze_live.h"
#include "analyze_options.h"
#include "analyze_report.h"

namespace {

constexpr int kStatusDone = 0;
constexpr int kStatusBadUsage = 2;
constexpr char kProgramName[] = "irtick-analyze";

}  // namespace

int main(int argc, char** argv)
{
    AnalyzeOptions options;
    std::string message;
    switch (ParseAnalyzeOptions(argc, argv, &options, &message)) {
        case AnalyzeParseHelp: std::fputs(kAnalyzeUsage, stdout); return kStatusDone;
        case AnalyzeParseVersion:
            std::printf("%s %s\n", kProgramName, IRTICK_ANALYZE_VERSION);
            return kStatusDone;
        case AnalyzeParseBad:
            std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgramName,
                         message.c_str(), kProgramName);
            return kStatusBadUsage;
        default: break;
    }

    AnalyzeReport report;
    report.form = options.form;
    report.out = stdout;
    if (!options.portName.empty()) return RunLiveAnalysis(options, &report);

    // Every capture is analysed, also after one that cannot be read.
    int status = kStatusDone;
    for (const std::string& capture : options.captures) {
        if (AnalyzeCapture(capture, options.undoCrlf, &report, &message) != 0) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
            status = kStatusBadUsage;
        }
    }
    EndReport(&report);
    return status;
}
