#pragma once

#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

namespace plentor {

// A text value that presents itself as ANSI (the active code page), UTF-8 or
// UTF-16 and converts lazily between the forms, remembering each result.
// At least one form is always valid; an empty value has all three. A failed
// conversion keeps what did convert; one into ANSI marks that form lossy.
class XString : public ZentrelObject {
public:
    XString();
    XString(const XString&) = default;
    XString& operator=(const XString&) = default;

    // set: each invalidates the other forms; null or empty clears
    void SetAnsi(const char* text);
    void SetUtf8(const char* text);
    void SetUtf16z(const char16_t* text);
    void SetUtf16(const char16_t* text, int count);
    void SetSystemString(const char16_t* text);

    // get: converts on demand. The pointers stay valid until the value changes.
    const char* GetAnsi();
    const char* GetUtf8();
    const char16_t* GetUtf16();
    // The UTF-8 form itself, for reading: changes made through it are not
    // seen by the other forms.
    StringBuffer& GetUtf8Buffer();

    // Computes the ANSI form when needed; false when it lost characters.
    bool IsAnsiExact();

    void AppendAnsi(const char* text);
    void AppendUtf8(const char* text);

    // Edits in UTF-8; the other forms are invalidated only when the text changed.
    void TrimUtf8();
    int ReplaceAllUtf8(const char* s, const char* t);
    bool EqualsUtf8(const char* text);

    int AnsiLength();
    int Length();                                    // ANSI bytes when that form is valid, else UTF-16 units
    void Clear();

private:
    enum AnsiState { kUndetermined = 0, kExact = 1, kLossy = 2 };

    void MakeAnsiValid();
    void MakeUtf8Valid();
    void MakeUtf16Valid();
    // The forms that hold the text now; the others are made again when asked for.
    enum Form : unsigned { kUtf16Form = 1, kAnsiForm = 2, kUtf8Form = 4, kAllForms = 7 };
    void OnlyValid(unsigned forms);
    unsigned Utf16Bytes() const;                     // of the text, without the zero unit

    int ansiState_ = kUndetermined;
    bool utf16Valid_ = true;
    bool ansiValid_ = true;
    bool utf8Valid_ = true;
    DataBuffer utf16_;                               // UTF-16LE code units + two zero bytes
    StringBuffer ansi_;
    StringBuffer utf8_;
};

} // namespace plentor
