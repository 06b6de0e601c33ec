// Where irtick-analyze's bytes come from: capture files and standard
// input, with the Windows text-stream expansion undone on request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyze_report.h"
#include "analyze_stream.h"

// The name that stands for standard input.
extern const char kStandardInputName[];

// --crlf: a Windows text stream wrote every byte 10 as 13 10.  Reading
// each 13 10 pair back as 10 undoes that exactly; a 13 at the end of one
// piece waits for the next, so pairs split between reads are found too.
struct CrlfUndo {
    bool returnHeld = false;
};

// Appends the undone bytes to *out.
void UndoCrlf(CrlfUndo* undo, const uint8_t* bytes, size_t count, std::vector<uint8_t>* out);
// The stream has ended: a 13 still held is a byte of its own.
void FinishCrlf(CrlfUndo* undo, std::vector<uint8_t>* out);

// Gives the engine the next bytes of the stream and reports what they
// settle.  *events is scratch space, kept to spare allocations.
void AnalyzeBytes(StreamAnalyzer* analyzer, AnalyzeReport* report, const uint8_t* bytes,
                  size_t count, std::vector<StreamEvent>* events);

// Analyses one capture from a fresh analyzer: its title, its events as
// they are read, its summary.  0 on success; -1 when it cannot be opened
// or read, with *message saying why (after a read error the capture gets
// no summary).
int AnalyzeCapture(const std::string& name, bool undoCrlf, AnalyzeReport* report,
                   std::string* message);
