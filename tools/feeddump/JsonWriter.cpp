// The feed dump's JSON writer. Escapes what JSON requires (quote, backslash,
// control characters) and nothing else, so non-ASCII text stays readable.
#include "JsonWriter.h"

#include "feeds/TextEncoding.h"

#include <cstdio>

constexpr size_t kIndentSpaces = 2;
constexpr unsigned char kFirstPrintable = 0x20;

void JsonWriter::Indent()
{
    out_.push_back('\n');
    out_.append(hasValue_.size() * kIndentSpaces, ' ');
}

void JsonWriter::BeginValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (hasValue_.empty())
        return;
    if (hasValue_.back())
        out_.push_back(',');
    hasValue_.back() = true;
    Indent();
}

void JsonWriter::Open(char bracket)
{
    BeginValue();
    out_.push_back(bracket);
    hasValue_.push_back(false);
}

void JsonWriter::Close(char bracket)
{
    const bool hadValue = !hasValue_.empty() && hasValue_.back();
    if (!hasValue_.empty())
        hasValue_.pop_back();
    if (hadValue)
        Indent();
    out_.push_back(bracket);
    if (hasValue_.empty())
        out_.push_back('\n');
}

void JsonWriter::BeginObject()
{
    Open('{');
}

void JsonWriter::EndObject()
{
    Close('}');
}

void JsonWriter::BeginArray()
{
    Open('[');
}

void JsonWriter::EndArray()
{
    Close(']');
}

void JsonWriter::Key(std::string_view name)
{
    BeginValue();
    AppendQuoted(name);
    out_.append(": ");
    afterKey_ = true;
}

void JsonWriter::String(std::string_view text)
{
    BeginValue();
    AppendQuoted(text);
}

void JsonWriter::Number(int64_t value)
{
    BeginValue();
    out_.append(std::to_string(value));
}

void JsonWriter::Number(double value)
{
    BeginValue();
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    out_.append(text);
}

void JsonWriter::AppendQuoted(std::string_view text)
{
    // Damaged UTF-8 becomes U+FFFD, one character for each broken byte.
    const std::string valid = CFStringCreateWithBytes(text, kCFStringEncodingUTF8).value_or(std::string());
    out_.push_back('"');
    for (char c : valid) {
        switch (c) {
        case '"':
            out_.append("\\\"");
            break;
        case '\\':
            out_.append("\\\\");
            break;
        case '\n':
            out_.append("\\n");
            break;
        case '\r':
            out_.append("\\r");
            break;
        case '\t':
            out_.append("\\t");
            break;
        case '\b':
            out_.append("\\b");
            break;
        case '\f':
            out_.append("\\f");
            break;
        default:
            if (static_cast<unsigned char>(c) < kFirstPrintable) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(static_cast<unsigned char>(c)));
                out_.append(escaped);
            } else {
                out_.push_back(c);
            }
        }
    }
    out_.push_back('"');
}
