// The protocols: their names and widths, their matchers, and how a frame's
// payload is written.
#include <cstdio>

#include "analyze_match.h"

namespace {

const ProtocolInfo kProtocolInfo[kProtocolCount] = {
    // name        address  command digits
    {"NEC",         2, 2},
    {"Samsung32",   2, 2},
    {"JVC",         2, 2},
    {"LG",          0, 0},
    {"Kaseikyo",    0, 0},
    {"Sharp",       2, 2},
    {"Sony",        2, 2},
    {"RC5",         2, 2},
    {"RC6",         2, 2},
};

const ProtocolInfo kUnknownProtocol = {"?", 0, 0};

// Tried in this order; on equal cost the earlier one's reading is kept.
const ProtocolMatcher kMatchers[] = {
    {ProtocolNec, MatchNecFrames, MatchNecRepeat},
    {ProtocolSamsung32, MatchSamsungFrames, nullptr},
    {ProtocolJvc, MatchJvcFrames, MatchJvcRepeat},
    {ProtocolLg, MatchLgFrames, MatchLgRepeat},
    {ProtocolKaseikyo, MatchKaseikyoFrames, nullptr},
    {ProtocolSharp, MatchSharpFrames, nullptr},
    {ProtocolSony, MatchSonyFrames, nullptr},
    {ProtocolRc5, MatchRc5Frames, nullptr},
    {ProtocolRc6, MatchRc6Frames, nullptr},
};

// Sony's data holds the measured bits; irtick prints them in five digits.
const int32_t kSonyDataDigits = 5;
const int32_t kBitsPerDigit = 4;

}  // namespace

const ProtocolInfo& DescribeProtocol(int32_t protocol) {
    if (protocol < 0 || protocol >= kProtocolCount) {
        return kUnknownProtocol;
    }
    return kProtocolInfo[protocol];
}

const ProtocolMatcher* ListProtocolMatchers(int32_t* count) {
    *count = static_cast<int32_t>(sizeof kMatchers / sizeof kMatchers[0]);
    return kMatchers;
}

std::string FormatFrameData(const DecodedFrame& frame) {
    int32_t digits = (frame.bits + kBitsPerDigit - 1) / kBitsPerDigit;
    if (frame.protocol == ProtocolSony) {
        digits = kSonyDataDigits;
    }
    if (digits < 1) {
        digits = 1;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(digits),
                  static_cast<unsigned long long>(frame.data));
    return text;
}
