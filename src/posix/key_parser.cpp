#include "key_parser.h"

#include "key_sequences.h"

namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kBell = 0x07;
constexpr unsigned char kControlSequenceIntroducer = '[';  // ESC [ ...
constexpr unsigned char kSingleShiftThree = 'O';           // ESC O ...
constexpr unsigned char kLinuxConsoleIntroducer = '[';     // ESC [ [ letter
constexpr unsigned char kX10MouseFinal = 'M';              // ESC [ M b x y
constexpr unsigned char kStringTerminatorFinal = '\\';     // ESC \ ends a control string
constexpr unsigned char kRxvtShiftFinal = '$';             // ESC [ 3 $
constexpr int kEscapeCode = 27;

// Ctrl+Space and Ctrl+@ send a byte 0; the Win32 console gives that key as
// the extended code 0, 3.
constexpr int kNullKeySecondCode = 3;

// An X10 mouse report: ESC [ M, then the button, the column and the row as
// one byte each, of any value.
constexpr size_t kX10MouseReportLength = 6;

// Introducers of the control strings terminals send as replies: OSC (ESC ])
// for colours and titles, DCS (ESC P) for versions and settings, APC
// (ESC _) for graphics.  Each runs to BEL or ESC \.
const unsigned char kControlStringIntroducers[] = {']', 'P', '_'};

// Final bytes of control sequences that only replies end with: device
// status and cursor reports (n), window reports (t), terminal parameters
// (x).  The cursor position report (R) shares its final byte with F3 and
// is told apart by its parameters.
const unsigned char kReplyFinals[] = {'n', 't', 'x'};

// Focus events: ESC [ I (focus in) and ESC [ O (focus out).
const unsigned char kFocusFinals[] = {'I', 'O'};

constexpr unsigned char kCursorReportFinal = 'R';

template <size_t kCount>
bool IsOneOf(unsigned char byte, const unsigned char (&set)[kCount])
{
    for (const unsigned char member : set) {
        if (byte == member) return true;
    }
    return false;
}

// Byte classes of an escape sequence (ECMA-48): parameters, then
// intermediates, then one final byte.
bool IsParameterByte(unsigned char byte) { return byte >= 0x30 && byte <= 0x3F; }
bool IsIntermediateByte(unsigned char byte) { return byte >= 0x20 && byte <= 0x2F; }
bool IsFinalByte(unsigned char byte) { return byte >= 0x40 && byte <= 0x7E; }
// A parameter string that starts with one of < = > ? is private to the
// terminal (replies, mouse reports), never a key.
bool IsPrivateMarker(unsigned char byte) { return byte >= 0x3C && byte <= 0x3F; }

// Final bytes of the numbered form: ~, and rxvt's ^ (Ctrl) and @
// (Ctrl+Shift); rxvt's $ (Shift) is handled where the parameters end.
bool IsNumberFormFinal(unsigned char byte)
{
    return byte == '~' || byte == '^' || byte == '@';
}

ParsedKey Key(size_t length, int firstCode, int secondCode)
{
    return ParsedKey{kParsedKey, length, firstCode, secondCode};
}
ParsedKey NoKey(size_t length) { return ParsedKey{kParsedNoKey, length, 0, kNoSecondCode}; }
ParsedKey NeedsMore() { return ParsedKey{kParseNeedsMore, 0, 0, kNoSecondCode}; }
ParsedKey EscapeKey(size_t length) { return Key(length, kEscapeCode, kNoSecondCode); }

// The sequence's key from the table; a sequence no key is known to send
// reads as Escape.
ParsedKey KeyOfSequence(size_t length, const SequenceShape& shape)
{
    const SequenceKeyCodes codes = LookUpSequenceKey(shape);
    return codes.found ? Key(length, codes.firstCode, codes.secondCode) : EscapeKey(length);
}

// The number at the start of a parameter string ("3" in "3;5"); -1 when the
// string does not start with a digit.  Stops growing at a bound so that a
// long run of digits cannot overflow.
int LeadingNumber(const unsigned char* parameters, size_t count)
{
    constexpr int kLargestKeyNumber = 1000;
    int number = -1;
    for (size_t i = 0; i < count && parameters[i] >= '0' && parameters[i] <= '9'; ++i) {
        if (number < 0) number = 0;
        if (number < kLargestKeyNumber) number = number * 10 + (parameters[i] - '0');
    }
    return number;
}

// A complete CSI sequence without private marker or intermediates that is
// no key press.  F3 with a modifier is ESC [ 1 ; m R; a cursor position
// report ESC [ row ; column R with any other parameters.
bool IsReplyOrEvent(unsigned char finalByte, const unsigned char* parameters, size_t count)
{
    if (IsOneOf(finalByte, kReplyFinals)) return true;
    if (IsOneOf(finalByte, kFocusFinals)) return count == 0;
    if (finalByte == kCursorReportFinal) {
        const bool functionKeyForm = count == 0 || (count >= 2 && parameters[0] == '1' &&
                                                    parameters[1] == ';');
        return !functionKeyForm;
    }
    // ESC [ b ; x ; y M: urxvt's mouse report (ESC [ M without parameters
    // is the X10 report, taken before).
    return finalByte == kX10MouseFinal;
}

// ESC [ [ letter: F1..F5 on the Linux virtual console.
ParsedKey ParseLinuxConsoleKey(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    constexpr size_t kLetterAt = 3;
    if (count == kLetterAt) return moreMayCome ? NeedsMore() : EscapeKey(count);
    if (!IsFinalByte(bytes[kLetterAt])) return EscapeKey(kLetterAt);
    return KeyOfSequence(kLetterAt + 1, SequenceShape{true, true, false, bytes[kLetterAt]});
}

// bytes[0] is ESC and bytes[1] is [ or O.
ParsedKey ParseControlSequence(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    const bool introducedByCsi = bytes[1] == kControlSequenceIntroducer;
    size_t position = 2;
    if (introducedByCsi && count > position) {
        if (bytes[position] == kLinuxConsoleIntroducer) {
            return ParseLinuxConsoleKey(bytes, count, moreMayCome);
        }
        if (bytes[position] == kX10MouseFinal) {
            if (count >= kX10MouseReportLength) return NoKey(kX10MouseReportLength);
            return moreMayCome ? NeedsMore() : NoKey(count);
        }
    }

    const size_t parameterStart = position;
    while (position < count && IsParameterByte(bytes[position])) ++position;
    const size_t parameterEnd = position;
    const size_t parameterCount = parameterEnd - parameterStart;
    const bool isPrivate = parameterCount > 0 && IsPrivateMarker(bytes[parameterStart]);
    // What a sequence cut short gives: a report stays no key, anything else
    // reads as Escape.
    auto cutShort = [isPrivate](size_t length) {
        return isPrivate ? NoKey(length) : EscapeKey(length);
    };

    // rxvt ends Shift+editing keys with $ (ESC [ 3 $), a byte that in
    // ECMA-48 would be an intermediate.  Taken as the final byte when no
    // intermediate or final byte follows it.
    if (introducedByCsi && position < count && bytes[position] == kRxvtShiftFinal &&
        parameterCount > 0 && !isPrivate) {
        if (position + 1 == count && moreMayCome) return NeedsMore();
        if (position + 1 == count ||
            !(IsIntermediateByte(bytes[position + 1]) || IsFinalByte(bytes[position + 1]))) {
            const int number = LeadingNumber(bytes + parameterStart, parameterCount);
            return KeyOfSequence(position + 1, SequenceShape{true, false, true, number});
        }
    }
    while (position < count && IsIntermediateByte(bytes[position])) ++position;
    if (position == count) return moreMayCome ? NeedsMore() : cutShort(count);
    // A byte that cannot stand in a sequence cuts it short; that byte starts
    // the next key.
    if (!IsFinalByte(bytes[position])) return cutShort(position);

    const size_t length = position + 1;
    // No key has a private marker or intermediates: replies and reports.
    if (isPrivate || parameterEnd != position) return NoKey(length);
    const unsigned char finalByte = bytes[position];
    if (introducedByCsi && IsReplyOrEvent(finalByte, bytes + parameterStart, parameterCount)) {
        return NoKey(length);
    }
    if (IsNumberFormFinal(finalByte)) {
        const int number = LeadingNumber(bytes + parameterStart, parameterCount);
        return KeyOfSequence(length, SequenceShape{introducedByCsi, false, true, number});
    }
    return KeyOfSequence(length, SequenceShape{introducedByCsi, false, false, finalByte});
}

// bytes[0] is ESC and bytes[1] one of kControlStringIntroducers.  A string
// that runs to its terminator is a reply; anything else was Escape typed
// before a key (or Alt+key sent as ESC and the key): Escape alone, and the
// next byte is the next key.
ParsedKey ParseControlString(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    for (size_t position = 2; position < count; ++position) {
        if (bytes[position] == kBell) return NoKey(position + 1);
        if (bytes[position] != kEscape) continue;
        if (position + 1 == count) break;  // ESC \ may be on its way
        if (bytes[position + 1] == kStringTerminatorFinal) return NoKey(position + 2);
        return EscapeKey(1);
    }
    return moreMayCome ? NeedsMore() : EscapeKey(1);
}

ParsedKey ParseEscape(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    if (count == 1) return moreMayCome ? NeedsMore() : EscapeKey(1);
    if (bytes[1] == kControlSequenceIntroducer || bytes[1] == kSingleShiftThree) {
        return ParseControlSequence(bytes, count, moreMayCome);
    }
    if (IsOneOf(bytes[1], kControlStringIntroducers)) {
        return ParseControlString(bytes, count, moreMayCome);
    }
    // Escape followed by any other key (also Alt+key, which some terminals
    // send as ESC and the key): Escape alone; the next byte is the next key.
    return EscapeKey(1);
}

// Bytes a UTF-8 character takes, judged by its first byte; 1 for a byte
// that cannot start a multi-byte character (ASCII, a stray continuation
// byte, the never-used C0, C1, F5..FF: single bytes, as a terminal in a
// single-byte character set sends them).
size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

ParsedKey ParseCharacter(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    const unsigned char lead = bytes[0];
    const size_t wanted = Utf8Length(lead);
    size_t length = 1;
    while (length < wanted && length < count && IsContinuationByte(bytes[length])) ++length;
    // Cut short by the end of the bytes so far: the rest may still come.
    if (length < wanted && length == count && moreMayCome) return NeedsMore();
    // Whole, or cut short by a byte that does not continue it (that byte
    // starts the next key).
    return Key(length, lead, kNoSecondCode);
}

}  // namespace

ParsedKey ParseKeyBytes(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    if (count == 0) return NeedsMore();
    const unsigned char first = bytes[0];
    if (first == kEscape) return ParseEscape(bytes, count, moreMayCome);
    if (first == 0) return Key(1, kFunctionKeyPrefix, kNullKeySecondCode);
    return ParseCharacter(bytes, count, moreMayCome);
}
