#include "analyze_cli_json.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct JsonReader {
    const std::string& text;
    size_t at;
    std::string problem;
};

void SkipBlanks(JsonReader* reader)
{
    while (reader->at < reader->text.size() &&
           std::string(" \t\r\n").find(reader->text[reader->at]) != std::string::npos) {
        ++reader->at;
    }
}

bool Fail(JsonReader* reader, const std::string& what)
{
    if (reader->problem.empty()) {
        reader->problem = what + " at offset " + std::to_string(reader->at);
    }
    return false;
}

bool Take(JsonReader* reader, char wanted)
{
    SkipBlanks(reader);
    if (reader->at < reader->text.size() && reader->text[reader->at] == wanted) {
        ++reader->at;
        return true;
    }
    return false;
}

bool ReadValue(JsonReader* reader, JsonValue* value);

bool ReadString(JsonReader* reader, std::string* out)
{
    if (!Take(reader, '"')) return Fail(reader, "string expected");
    while (reader->at < reader->text.size()) {
        const char character = reader->text[reader->at++];
        if (character == '"') return true;
        if (static_cast<unsigned char>(character) < 0x20) return Fail(reader, "control character");
        if (character == '\\') {
            if (reader->at >= reader->text.size()) break;
            const char escaped = reader->text[reader->at++];
            const std::string simple = "\"\\/bfnrt";
            if (simple.find(escaped) == std::string::npos) return Fail(reader, "bad escape");
            out->push_back(escaped);
            continue;
        }
        out->push_back(character);
    }
    return Fail(reader, "unterminated string");
}

bool ReadNumber(JsonReader* reader, JsonValue* value)
{
    const size_t start = reader->at;
    const std::string& text = reader->text;
    if (reader->at < text.size() && text[reader->at] == '-') ++reader->at;
    const size_t digits = reader->at;
    while (reader->at < text.size() && std::isdigit(static_cast<unsigned char>(text[reader->at]))) {
        ++reader->at;
    }
    if (reader->at == digits) return Fail(reader, "number expected");
    if (text[digits] == '0' && reader->at - digits > 1) return Fail(reader, "leading zero");
    if (reader->at < text.size() && text[reader->at] == '.') {
        const size_t fraction = ++reader->at;
        while (reader->at < text.size() &&
               std::isdigit(static_cast<unsigned char>(text[reader->at]))) {
            ++reader->at;
        }
        if (reader->at == fraction) return Fail(reader, "digits after the point expected");
    }
    value->kind = JsonNumber;
    value->numberText = text.substr(start, reader->at - start);
    value->number = std::strtod(value->numberText.c_str(), nullptr);
    return true;
}

bool ReadWord(JsonReader* reader, const std::string& word)
{
    if (reader->text.compare(reader->at, word.size(), word) != 0) return Fail(reader, "bad word");
    reader->at += word.size();
    return true;
}

bool ReadArray(JsonReader* reader, JsonValue* value)
{
    value->kind = JsonArray;
    if (Take(reader, ']')) return true;
    do {
        value->items.emplace_back();
        if (!ReadValue(reader, &value->items.back())) return false;
    } while (Take(reader, ','));
    return Take(reader, ']') || Fail(reader, "] expected");
}

bool ReadObject(JsonReader* reader, JsonValue* value)
{
    value->kind = JsonObject;
    if (Take(reader, '}')) return true;
    do {
        std::string key;
        SkipBlanks(reader);
        if (!ReadString(reader, &key)) return false;
        if (!Take(reader, ':')) return Fail(reader, ": expected");
        value->members.emplace_back(key, JsonValue());
        if (!ReadValue(reader, &value->members.back().second)) return false;
    } while (Take(reader, ','));
    return Take(reader, '}') || Fail(reader, "} expected");
}

bool ReadValue(JsonReader* reader, JsonValue* value)
{
    SkipBlanks(reader);
    if (reader->at >= reader->text.size()) return Fail(reader, "value expected");
    switch (reader->text[reader->at]) {
        case '{': ++reader->at; return ReadObject(reader, value);
        case '[': ++reader->at; return ReadArray(reader, value);
        case '"': value->kind = JsonString; return ReadString(reader, &value->text);
        case 'n': value->kind = JsonNull; return ReadWord(reader, "null");
        case 't': value->kind = JsonBool; value->boolean = true; return ReadWord(reader, "true");
        case 'f': value->kind = JsonBool; return ReadWord(reader, "false");
        default: return ReadNumber(reader, value);
    }
}

}  // namespace

bool ParseJson(const std::string& text, JsonValue* value, std::string* problem)
{
    JsonReader reader{text, 0, std::string()};
    *value = JsonValue();
    bool parsed = ReadValue(&reader, value);
    SkipBlanks(&reader);
    if (parsed && reader.at != text.size()) parsed = Fail(&reader, "text after the value");
    if (!parsed) *problem = reader.problem;
    return parsed;
}

const JsonValue* FindMember(const JsonValue& object, const std::string& key)
{
    for (const auto& member : object.members) {
        if (member.first == key) return &member.second;
    }
    return nullptr;
}

std::vector<std::string> KeysOf(const JsonValue& object)
{
    std::vector<std::string> keys;
    for (const auto& member : object.members) keys.push_back(member.first);
    return keys;
}

std::vector<JsonValue> ParseJsonLines(const std::string& text)
{
    std::vector<JsonValue> values;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (line.empty()) continue;
        JsonValue value;
        std::string problem;
        if (ParseJson(line, &value, &problem)) {
            values.push_back(value);
        } else {
            ADD_FAILURE() << "not JSON (" << problem << "): " << line;
        }
    }
    return values;
}
