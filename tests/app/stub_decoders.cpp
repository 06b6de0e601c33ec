// Stand-in decoders: they print what they were called with, so the output
// shows the order of the display and the decoder calls.

#include "app/console.h"
#include "decode/nec_decoder.h"
#include "decode/sony_decoder.h"

NecDecoder necDecoder;
SonyDecoder sonyDecoder;

void DecodeNecInterval(unsigned value) { PrintText("<N%u>", value); }

void DecodeSonyInterval(unsigned value, int32_t frameLength)
{
    PrintText("<S%u/%d>", value, static_cast<int>(frameLength));
}
