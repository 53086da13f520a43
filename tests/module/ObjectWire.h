#pragma once

// Shared by the object tests: reading back what a request carried.

#include "support/BookmarkEmulator.h"

#include <map>
#include <string>

namespace plentor::testsupport {

// A form or query value with "+" and %XX decoded to the bytes the object sent.
inline std::string FormDecode(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The decoded fields of a request: its query for a GET, its body otherwise.
inline std::map<std::string, std::string> RequestFields(const BookmarkEmulator::Entry& entry)
{
    std::string form = entry.body;
    if (entry.requestLine.rfind("GET ", 0) == 0) {
        const size_t query = entry.requestLine.find('?');
        const size_t end = entry.requestLine.rfind(' ');
        form = query == std::string::npos ? "" : entry.requestLine.substr(query + 1, end - query - 1);
    }
    std::map<std::string, std::string> fields;
    size_t start = 0;
    while (start <= form.size()) {
        size_t amp = form.find('&', start);
        if (amp == std::string::npos) amp = form.size();
        const std::string pair = form.substr(start, amp - start);
        const size_t eq = pair.find('=');
        if (!pair.empty())
            fields[FormDecode(pair.substr(0, eq))] = eq == std::string::npos ? "" : FormDecode(pair.substr(eq + 1));
        start = amp + 1;
    }
    return fields;
}

} // namespace plentor::testsupport
