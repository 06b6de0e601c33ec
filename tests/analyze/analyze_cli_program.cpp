#include "analyze_cli_program.h"

#include <gtest/gtest.h>

#include "pty_harness.h"

ProgramResult RunAnalyze(const std::vector<std::string>& arguments, const std::string& input)
{
    return RunProgram(ANALYZE_CLI_PATH, arguments, input, kProgramTimeoutMs);
}

std::string MakeCapture(const std::string& directory, const std::vector<std::string>& items,
                        int jitterPercent, uint32_t seed)
{
    static int captureNumber = 0;
    const std::string path = directory + "/sim" + std::to_string(++captureNumber) + ".bin";
    // --port writes into an existing file from its start.
    if (!WriteFile(path, "")) {
        ADD_FAILURE() << "cannot make " << path;
        return std::string();
    }
    std::vector<std::string> arguments = {"--fast", "--port", path,
                                          "--jitter", std::to_string(jitterPercent),
                                          "--seed", std::to_string(seed)};
    arguments.insert(arguments.end(), items.begin(), items.end());
    const ProgramResult sim = RunProgram(IRTICK_SIM_PATH, arguments, "", kProgramTimeoutMs);
    if (!sim.exited || sim.exitStatus != 0) {
        ADD_FAILURE() << "irtick-sim failed: " << sim.errors;
        return std::string();
    }
    return ReadFileBytes(path);
}

namespace {

std::string FieldText(const JsonValue& object, const char* key)
{
    const JsonValue* value = FindMember(object, key);
    if (value == nullptr) return "(missing)";
    switch (value->kind) {
        case JsonNull: return "null";
        case JsonNumber: return value->numberText;
        case JsonString: return value->text;
        default: return "(other)";
    }
}

}  // namespace

std::vector<ParsedFrame> ParseFrames(const std::string& output, std::vector<JsonValue>* summaries)
{
    std::vector<ParsedFrame> frames;
    for (const JsonValue& object : ParseJsonLines(output)) {
        const std::string type = FieldText(object, "type");
        if (type == "summary" && summaries != nullptr) summaries->push_back(object);
        if (type != "frame") continue;
        ParsedFrame frame;
        frame.protocol = FieldText(object, "protocol");
        frame.bits = FieldText(object, "bits");
        frame.data = FieldText(object, "data");
        frame.address = FieldText(object, "address");
        frame.command = FieldText(object, "command");
        frame.repeats = FieldText(object, "repeats");
        frame.toggle = FieldText(object, "toggle");
        frame.start = FieldText(object, "start");
        const JsonValue* error = FindMember(object, "error_pct");
        if (error != nullptr) frame.errorPercent = error->number;
        frames.push_back(frame);
    }
    return frames;
}

std::vector<std::string> DescribePresses(const std::vector<ParsedFrame>& frames)
{
    std::vector<std::string> presses;
    for (const ParsedFrame& frame : frames) {
        presses.push_back(frame.protocol + " " + frame.address + "/" + frame.command + " " +
                          frame.data + " r" + frame.repeats + " t" + frame.toggle);
    }
    return presses;
}
