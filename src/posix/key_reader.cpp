#include "key_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "deadline.h"
#include "terminal_state.h"

namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kControlSequenceIntroducer = '[';  // ESC [ ...
constexpr unsigned char kSingleShiftThree = 'O';           // ESC O ...

// First codes of the Win32 extended keys.
constexpr int kFunctionPrefix = 0;    // F1..F10, Ctrl+Space
constexpr int kExtendedPrefix = 224;  // cursor and editing keys, F11, F12

// Code of every escape sequence that is not in the table, finished or not:
// it reads as Escape, a key that counts.
constexpr int kUnknownSequenceCode = 27;

// Ctrl+Space and Ctrl+@ send a byte 0; the Win32 console gives that key as
// the extended code 0, 3.
constexpr int kNullKeySecondCode = 3;

// The forms of escape sequence a key can take.
enum SequenceForm {
    kCsiOrSs3Letter,   // ESC [ A, ESC [ 1 ; 5 A, and ESC O A
    kCsiLetter,        // ESC [ Z only
    kSs3Letter,        // ESC O M only (numeric keypad in application mode)
    kCsiNumber,        // ESC [ 3 ~, ESC [ 3 ; 5 ~ (rxvt also ends with ^ $ @)
    kLinuxConsole,     // ESC [ [ A: F1..F5 on the Linux virtual console
};

struct SequenceKey {
    SequenceForm form;
    int selector;  // the final letter, or the number before ~
    int firstCode;
    int secondCode;
};

// Every escape sequence a key is known to send, with its Win32 codes.
// Modifier parameters (Shift, Ctrl, Alt) are ignored: Ctrl+Up reads as Up.
const SequenceKey kSequenceKeys[] = {
    // Cursor keys, in the normal (CSI) and the application (SS3) cursor mode.
    {kCsiOrSs3Letter, 'A', kExtendedPrefix, 72},  // Up
    {kCsiOrSs3Letter, 'B', kExtendedPrefix, 80},  // Down
    {kCsiOrSs3Letter, 'C', kExtendedPrefix, 77},  // Right
    {kCsiOrSs3Letter, 'D', kExtendedPrefix, 75},  // Left
    {kCsiOrSs3Letter, 'H', kExtendedPrefix, 71},  // Home
    {kCsiOrSs3Letter, 'F', kExtendedPrefix, 79},  // End
    // rxvt's cursor keys with Shift (ESC [ a) and with Ctrl (ESC O a).
    {kCsiOrSs3Letter, 'a', kExtendedPrefix, 72},
    {kCsiOrSs3Letter, 'b', kExtendedPrefix, 80},
    {kCsiOrSs3Letter, 'c', kExtendedPrefix, 77},
    {kCsiOrSs3Letter, 'd', kExtendedPrefix, 75},
    // F1..F4: ESC O P on their own, ESC [ 1 ; 2 P with a modifier.
    {kCsiOrSs3Letter, 'P', kFunctionPrefix, 59},
    {kCsiOrSs3Letter, 'Q', kFunctionPrefix, 60},
    {kCsiOrSs3Letter, 'R', kFunctionPrefix, 61},
    {kCsiOrSs3Letter, 'S', kFunctionPrefix, 62},
    // Shift+Tab.
    {kCsiLetter, 'Z', kFunctionPrefix, 15},
    // Numeric keypad in the application keypad mode: the key's character,
    // as the keypad gives it in the normal mode (Enter 13).
    {kSs3Letter, 'M', '\r', kNoSecondCode},
    {kSs3Letter, 'X', '=', kNoSecondCode},
    {kSs3Letter, 'j', '*', kNoSecondCode},
    {kSs3Letter, 'k', '+', kNoSecondCode},
    {kSs3Letter, 'l', ',', kNoSecondCode},
    {kSs3Letter, 'm', '-', kNoSecondCode},
    {kSs3Letter, 'n', '.', kNoSecondCode},
    {kSs3Letter, 'o', '/', kNoSecondCode},
    {kSs3Letter, 'p', '0', kNoSecondCode},
    {kSs3Letter, 'q', '1', kNoSecondCode},
    {kSs3Letter, 'r', '2', kNoSecondCode},
    {kSs3Letter, 's', '3', kNoSecondCode},
    {kSs3Letter, 't', '4', kNoSecondCode},
    {kSs3Letter, 'u', '5', kNoSecondCode},
    {kSs3Letter, 'v', '6', kNoSecondCode},
    {kSs3Letter, 'w', '7', kNoSecondCode},
    {kSs3Letter, 'x', '8', kNoSecondCode},
    {kSs3Letter, 'y', '9', kNoSecondCode},
    // Editing keys, VT style; 7 and 8 are rxvt's Home and End.
    {kCsiNumber, 1, kExtendedPrefix, 71},  // Home
    {kCsiNumber, 2, kExtendedPrefix, 82},  // Insert
    {kCsiNumber, 3, kExtendedPrefix, 83},  // Delete
    {kCsiNumber, 4, kExtendedPrefix, 79},  // End
    {kCsiNumber, 5, kExtendedPrefix, 73},  // Page Up
    {kCsiNumber, 6, kExtendedPrefix, 81},  // Page Down
    {kCsiNumber, 7, kExtendedPrefix, 71},  // Home
    {kCsiNumber, 8, kExtendedPrefix, 79},  // End
    // Function keys, VT style (the numbers skip 16 and 22).
    {kCsiNumber, 11, kFunctionPrefix, 59},   // F1
    {kCsiNumber, 12, kFunctionPrefix, 60},   // F2
    {kCsiNumber, 13, kFunctionPrefix, 61},   // F3
    {kCsiNumber, 14, kFunctionPrefix, 62},   // F4
    {kCsiNumber, 15, kFunctionPrefix, 63},   // F5
    {kCsiNumber, 17, kFunctionPrefix, 64},   // F6
    {kCsiNumber, 18, kFunctionPrefix, 65},   // F7
    {kCsiNumber, 19, kFunctionPrefix, 66},   // F8
    {kCsiNumber, 20, kFunctionPrefix, 67},   // F9
    {kCsiNumber, 21, kFunctionPrefix, 68},   // F10
    {kCsiNumber, 23, kExtendedPrefix, 133},  // F11
    {kCsiNumber, 24, kExtendedPrefix, 134},  // F12
    // F1..F5 on the Linux virtual console.
    {kLinuxConsole, 'A', kFunctionPrefix, 59},
    {kLinuxConsole, 'B', kFunctionPrefix, 60},
    {kLinuxConsole, 'C', kFunctionPrefix, 61},
    {kLinuxConsole, 'D', kFunctionPrefix, 62},
    {kLinuxConsole, 'E', kFunctionPrefix, 63},
};

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

ParsedKey CompleteKey(size_t length, int firstCode, int secondCode)
{
    return ParsedKey{true, length, firstCode, secondCode};
}

ParsedKey IncompleteKey() { return ParsedKey{false, 0, 0, kNoSecondCode}; }

// An escape sequence that is not in the table, or cut short: it is taken
// whole and reads as Escape.
ParsedKey UnknownSequence(size_t length)
{
    return CompleteKey(length, kUnknownSequenceCode, kNoSecondCode);
}

// The sequence's key from the table; unknown sequences read as Escape.
ParsedKey LookUpSequence(size_t length, bool introducedByCsi, bool linuxConsole, bool numbered,
                         int selector)
{
    for (const SequenceKey& key : kSequenceKeys) {
        if (key.selector != selector) continue;
        bool formFits = false;
        switch (key.form) {
        case kCsiOrSs3Letter: formFits = !linuxConsole && !numbered; break;
        case kCsiLetter: formFits = introducedByCsi && !linuxConsole && !numbered; break;
        case kSs3Letter: formFits = !introducedByCsi && !numbered; break;
        case kCsiNumber: formFits = introducedByCsi && numbered; break;
        case kLinuxConsole: formFits = linuxConsole; break;
        }
        if (formFits) return CompleteKey(length, key.firstCode, key.secondCode);
    }
    return UnknownSequence(length);
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

// bytes[0] is ESC and bytes[1] is [ or O.
ParsedKey ParseControlSequence(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    const bool introducedByCsi = bytes[1] == kControlSequenceIntroducer;
    size_t position = 2;

    // The Linux console's function keys: ESC [ [ and one letter.
    if (introducedByCsi && count > position && bytes[position] == '[') {
        ++position;
        if (count == position) return moreMayCome ? IncompleteKey() : UnknownSequence(count);
        if (!IsFinalByte(bytes[position])) return UnknownSequence(position);
        return LookUpSequence(position + 1, true, true, false, bytes[position]);
    }

    const size_t parameterStart = position;
    while (position < count && IsParameterByte(bytes[position])) ++position;
    const size_t parameterEnd = position;
    // rxvt ends Shift+editing keys with $ (ESC [ 3 $), a byte that in
    // ECMA-48 would be an intermediate.  Taken as the final byte when no
    // intermediate or final byte follows it.
    const bool rxvtShiftForm = introducedByCsi && position < count && bytes[position] == '$' &&
                               parameterEnd > parameterStart &&
                               !IsPrivateMarker(bytes[parameterStart]) &&
                               (position + 1 == count ||
                                !(IsIntermediateByte(bytes[position + 1]) ||
                                  IsFinalByte(bytes[position + 1])));
    if (rxvtShiftForm) {
        const int number = LeadingNumber(bytes + parameterStart, parameterEnd - parameterStart);
        return LookUpSequence(position + 1, true, false, true, number);
    }
    while (position < count && IsIntermediateByte(bytes[position])) ++position;
    if (position == count) return moreMayCome ? IncompleteKey() : UnknownSequence(count);
    // A byte that cannot stand in a sequence cuts it short; that byte starts
    // the next key.
    if (!IsFinalByte(bytes[position])) return UnknownSequence(position);

    const size_t length = position + 1;
    const bool hasIntermediates = parameterEnd != position;
    const bool isPrivate =
        parameterEnd > parameterStart && IsPrivateMarker(bytes[parameterStart]);
    if (hasIntermediates || isPrivate) return UnknownSequence(length);

    const unsigned char finalByte = bytes[position];
    if (IsNumberFormFinal(finalByte)) {
        const int number = LeadingNumber(bytes + parameterStart, parameterEnd - parameterStart);
        return LookUpSequence(length, introducedByCsi, false, true, number);
    }
    return LookUpSequence(length, introducedByCsi, false, false, finalByte);
}

ParsedKey ParseEscape(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    if (count == 1) {
        return moreMayCome ? IncompleteKey() : CompleteKey(1, kEscape, kNoSecondCode);
    }
    if (bytes[1] == kControlSequenceIntroducer || bytes[1] == kSingleShiftThree) {
        return ParseControlSequence(bytes, count, moreMayCome);
    }
    // Escape followed by any other key (also Alt+key, which some terminals
    // send as ESC and the key): Escape alone; the next byte is the next key.
    return CompleteKey(1, kEscape, kNoSecondCode);
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
    if (length < wanted && length == count && moreMayCome) return IncompleteKey();
    // Whole, or cut short by a byte that does not continue it (that byte
    // starts the next key).
    return CompleteKey(length, lead, kNoSecondCode);
}

// --- The reader ------------------------------------------------------------

// Bytes taken from the terminal and not yet read as keys.  A key is at most
// a few bytes; the rest of the room holds keys typed in quick succession.
constexpr size_t kPendingCapacity = 64;
unsigned char pendingBytes[kPendingCapacity];
size_t pendingCount = 0;
int heldSecondCode = kNoSecondCode;
// Set once the terminal has hung up or failed: it is not read again.
bool terminalFailed = false;

enum TakeOutcome { kTakeOk, kTakeFailed };

// Moves into the pending bytes what the terminal has ready now (or, with
// waitMilliseconds > 0 or < 0 for no limit, what arrives within that time
// when nothing is ready).  Never blocks in read(): poll() says first that
// bytes are there, so a descriptor without O_NONBLOCK serves as well.
TakeOutcome TakeBytes(int fd, int waitMilliseconds)
{
    int timeout = waitMilliseconds;
    while (pendingCount < kPendingCapacity) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, timeout);
        if (polled < 0) {
            if (errno == EINTR) continue;
            return kTakeFailed;
        }
        if (polled == 0) return kTakeOk;
        // A hung-up terminal is readable for ever (read gives 0 or EIO);
        // the read below tells.
        const ssize_t got =
            read(fd, pendingBytes + pendingCount, kPendingCapacity - pendingCount);
        if (got > 0) {
            pendingCount += static_cast<size_t>(got);
            timeout = 0;  // then only what is there already
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kTakeOk;
        return kTakeFailed;  // end of file (hang-up) or a read error
    }
    return kTakeOk;
}

void DropPendingBytes(size_t count)
{
    std::memmove(pendingBytes, pendingBytes + count, pendingCount - count);
    pendingCount -= count;
}

bool CanReadTerminal(int fd) { return fd >= 0 && !terminalFailed; }

}  // namespace

ParsedKey ParseKeyBytes(const unsigned char* bytes, size_t count, bool moreMayCome)
{
    const unsigned char first = bytes[0];
    if (first == kEscape) return ParseEscape(bytes, count, moreMayCome);
    if (first == 0) return CompleteKey(1, kFunctionPrefix, kNullKeySecondCode);
    return ParseCharacter(bytes, count, moreMayCome);
}

bool IsKeyWaitingOn(int fd)
{
    if (heldSecondCode != kNoSecondCode) return true;
    // A process outside the terminal's foreground group that reads it is
    // stopped (SIGTTIN); in the background no key belongs to this run.
    if (CanReadTerminal(fd) && IsInForegroundOf(fd)) {
        if (TakeBytes(fd, 0) == kTakeFailed) terminalFailed = true;
    }
    return pendingCount > 0;
}

int ReadKeyFrom(int fd)
{
    if (heldSecondCode != kNoSecondCode) {
        const int code = heldSecondCode;
        heldSecondCode = kNoSecondCode;
        return code;
    }
    if (pendingCount == 0) {
        if (!CanReadTerminal(fd)) return -1;
        // Wait for a key, as a key read does when called without a key test.
        while (pendingCount == 0) {
            if (TakeBytes(fd, -1) == kTakeFailed) {
                terminalFailed = true;
                return -1;
            }
        }
    }

    bool waitingForRest = false;
    Deadline restDeadline{};
    for (;;) {
        // With the pending room full the key cannot grow any more.
        const bool moreMayCome = CanReadTerminal(fd) && pendingCount < kPendingCapacity &&
                                 !(waitingForRest && HasExpired(restDeadline));
        const ParsedKey key = ParseKeyBytes(pendingBytes, pendingCount, moreMayCome);
        if (key.complete) {
            DropPendingBytes(key.length);
            heldSecondCode = key.secondCode;
            return key.firstCode;
        }
        // The key has begun; its rest is on its way or it never comes.
        if (!waitingForRest) {
            waitingForRest = true;
            restDeadline = MakeDeadline(kKeyRestWaitMilliseconds);
        }
        const int waitMilliseconds = RemainingPollMilliseconds(restDeadline);
        if (waitMilliseconds > 0 && TakeBytes(fd, waitMilliseconds) == kTakeFailed) {
            terminalFailed = true;
        }
    }
}

void ForgetPendingKeys()
{
    pendingCount = 0;
    heldSecondCode = kNoSecondCode;
    terminalFailed = false;
}
