#pragma once

#include "text/StringBuffer.h"

namespace plentor {

// One header field: a name (case kept) and a value held as unfolded UTF-8.
// Knows how a field line is read and how its value is written back, folded
// or as encoded words.
class MimeField : public ZentrelObject {
public:
    MimeField() = default;

    // A field set by the program: encoded words in the value are decoded and
    // folded lines joined; the name and the (untrimmed) value are kept as given.
    MimeField(const char* name, const char* value);

    // Reads "name: value" as received. False, with the field unchanged, when
    // the text has no ":" or the name is empty.
    bool ParseReceived(const char* text, int n);

    const StringBuffer& GetName() const { return name_; }
    const StringBuffer& GetValue() const { return value_; }
    bool IsNoFold() const { return noFold_; }

    // Case-insensitive comparison of the whole name.
    bool NameIs(const char* name) const { return name_.EqualsNoCase(name); }

    // Appends "name: value", the value written for the code page: ASCII text
    // (or any text for 20127) folded after ";" unless noFold, other text as
    // encoded words in that charset. Nothing is trimmed here.
    void WriteTo(StringBuffer& out, int codePage) const;

private:
    // Decodes encoded words (address lists for To, Cc and From) and removes
    // CR LF TAB / CR LF space folds.
    void DecodeValue();
    void WriteFolded(StringBuffer& out, int lineLength) const;
    void WriteEncoded(StringBuffer& out, int codePage) const;

    bool noFold_ = false;        // the value is never folded when written
    StringBuffer name_;
    StringBuffer value_;         // UTF-8, unfolded
};

} // namespace plentor
