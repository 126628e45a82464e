// A small JSON writer for the feed dump: objects, arrays, strings and
// numbers, indented two spaces a level. Strings are written as UTF-8 with
// every byte that is not part of a well-formed character replaced, so the
// output is valid JSON whatever bytes a feed held.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The name of the next member of the current object.
    void Key(std::string_view name);
    void String(std::string_view text);
    void Number(int64_t value);
    void Number(double value);

    // The document written so far, with a final line break once complete.
    const std::string& Text() const { return out_; }

private:
    void BeginValue();
    void Open(char bracket);
    void Close(char bracket);
    void Indent();
    void AppendQuoted(std::string_view text);

    // One entry per open object or array: whether it holds a value yet.
    std::vector<bool> hasValue_;
    bool afterKey_ = false;
    std::string out_;
};
