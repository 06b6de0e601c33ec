// A small JSON reader for the tests of irtick-analyze's --json output: it
// parses one line as a whole and keeps the keys of every object in their
// order, so tests can check the schema, not only the values.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum JsonKind { JsonNull, JsonBool, JsonNumber, JsonString, JsonArray, JsonObject };

struct JsonValue {
    JsonKind kind = JsonNull;
    bool boolean = false;
    double number = 0;
    std::string numberText;  // the number as written
    std::string text;        // JsonString
    std::vector<JsonValue> items;                             // JsonArray
    std::vector<std::pair<std::string, JsonValue>> members;  // JsonObject, in order
};

// Parses the whole text as one value (blanks around it allowed).  False,
// with *problem set, when it is not valid JSON or something follows it.
bool ParseJson(const std::string& text, JsonValue* value, std::string* problem);

// The member of an object, or nullptr.
const JsonValue* FindMember(const JsonValue& object, const std::string& key);

// The keys of an object in their order.
std::vector<std::string> KeysOf(const JsonValue& object);

// Every non-empty line of the text, each parsed; a line that does not
// parse fails the calling test (ADD_FAILURE) and is skipped.
std::vector<JsonValue> ParseJsonLines(const std::string& text);
