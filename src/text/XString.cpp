#include "text/XString.h"

#include "base/LogNull.h"
#include "platform/CodePage.h"
#include "text/EncodingConvert.h"

namespace plentor {

namespace {

constexpr unsigned kUnitBytes = sizeof(char16_t);
constexpr char16_t kNoUnits[] = u"";

// Converts bytes into a fresh buffer. A conversion that fails keeps what did
// convert (nothing at all for an unsupported code page).
bool ConvertInto(int fromCodePage, int toCodePage, const void* bytes, unsigned n, DataBuffer& out)
{
    out.Clear();
    LogNull log;
    EncodingConvert convert;
    return convert.Convert(fromCodePage, toCodePage, bytes, n, out, log);
}

bool ConvertText(int fromCodePage, int toCodePage, const void* bytes, unsigned n, StringBuffer& out)
{
    DataBuffer converted;
    bool ok = ConvertInto(fromCodePage, toCodePage, bytes, n, converted);
    out.Clear();
    out.AppendDataBuffer(converted);
    return ok;
}

unsigned Utf16Length(const char16_t* text)
{
    unsigned n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

} // namespace

XString::XString()
{
    ansiState_ = kExact;
}

void XString::OnlyValid(unsigned forms)
{
    utf16Valid_ = (forms & kUtf16Form) != 0;
    ansiValid_ = (forms & kAnsiForm) != 0;
    utf8Valid_ = (forms & kUtf8Form) != 0;
}

void XString::Clear()
{
    utf16_.Clear();
    ansi_.Clear();
    utf8_.Clear();
    OnlyValid(kAllForms);
    ansiState_ = kExact;
}

// ---- set -------------------------------------------------------------------

void XString::SetAnsi(const char* text)
{
    if (text == nullptr || *text == 0)
        return Clear();
    ansi_.SetString(text);
    OnlyValid(kAnsiForm);
    ansiState_ = kExact;
}

void XString::SetUtf8(const char* text)
{
    if (text == nullptr || *text == 0)
        return Clear();
    utf8_.SetString(text);
    OnlyValid(kUtf8Form);
    ansiState_ = kUndetermined;
}

void XString::SetUtf16z(const char16_t* text)
{
    SetUtf16(text, text == nullptr ? 0 : static_cast<int>(Utf16Length(text)));
}

void XString::SetUtf16(const char16_t* text, int count)
{
    if (text == nullptr || count <= 0)
        return Clear();
    utf16_.Clear();
    utf16_.AppendBytes(text, static_cast<unsigned>(count) * kUnitBytes);
    utf16_.AppendUtf16z(nullptr);   // the terminating zero unit
    OnlyValid(kUtf16Form);
    ansiState_ = kUndetermined;
}

void XString::SetSystemString(const char16_t* text)
{
    SetUtf16z(text);
}

// ---- conversions -----------------------------------------------------------

unsigned XString::Utf16Bytes() const
{
    // The UTF-16 form ends in one zero unit, which is not part of the text.
    return utf16_.Size() >= kUnitBytes ? utf16_.Size() - kUnitBytes : 0;
}

void XString::MakeAnsiValid()
{
    if (ansiValid_)
        return;
    int acp = platform::ActiveAnsiCodePage();
    bool ok = utf16Valid_
        ? ConvertText(EncodingConvert::kUtf16Le, acp, utf16_.Data(), Utf16Bytes(), ansi_)
        : ConvertText(EncodingConvert::kUtf8, acp, utf8_.GetString(), static_cast<unsigned>(utf8_.GetLength()), ansi_);
    ansiValid_ = true;
    ansiState_ = ok ? kExact : kLossy;
}

void XString::MakeUtf8Valid()
{
    if (utf8Valid_)
        return;
    if (ansiValid_)
        ConvertText(platform::ActiveAnsiCodePage(), EncodingConvert::kUtf8, ansi_.GetString(),
                    static_cast<unsigned>(ansi_.GetLength()), utf8_);
    else
        ConvertText(EncodingConvert::kUtf16Le, EncodingConvert::kUtf8, utf16_.Data(), Utf16Bytes(), utf8_);
    utf8Valid_ = true;
}

void XString::MakeUtf16Valid()
{
    if (utf16Valid_)
        return;
    if (utf8Valid_)
        ConvertInto(EncodingConvert::kUtf8, EncodingConvert::kUtf16Le, utf8_.GetString(),
                    static_cast<unsigned>(utf8_.GetLength()), utf16_);
    else
        ConvertInto(platform::ActiveAnsiCodePage(), EncodingConvert::kUtf16Le, ansi_.GetString(),
                    static_cast<unsigned>(ansi_.GetLength()), utf16_);
    utf16_.AppendUtf16z(nullptr);
    utf16Valid_ = true;
}

// ---- get -------------------------------------------------------------------

const char* XString::GetAnsi()
{
    MakeAnsiValid();
    return ansi_.GetString();
}

const char* XString::GetUtf8()
{
    MakeUtf8Valid();
    return utf8_.GetString();
}

const char16_t* XString::GetUtf16()
{
    MakeUtf16Valid();
    if (utf16_.Size() < kUnitBytes)
        return kNoUnits;
    return reinterpret_cast<const char16_t*>(utf16_.Data());
}

StringBuffer& XString::GetUtf8Buffer()
{
    MakeUtf8Valid();
    return utf8_;
}

bool XString::IsAnsiExact()
{
    MakeAnsiValid();
    return ansiState_ != kLossy;
}

// ---- append and edit -------------------------------------------------------

void XString::AppendAnsi(const char* text)
{
    if (text == nullptr || *text == 0)
        return;
    MakeAnsiValid();
    ansi_.Append(text);
    OnlyValid(kAnsiForm);
}

void XString::AppendUtf8(const char* text)
{
    if (text == nullptr || *text == 0)
        return;
    MakeUtf8Valid();
    utf8_.Append(text);
    OnlyValid(kUtf8Form);
    ansiState_ = kUndetermined;
}

void XString::TrimUtf8()
{
    MakeUtf8Valid();
    int before = utf8_.GetLength();
    utf8_.Trim();
    if (utf8_.GetLength() != before) {
        OnlyValid(kUtf8Form);
        ansiState_ = kUndetermined;
    }
}

int XString::ReplaceAllUtf8(const char* s, const char* t)
{
    MakeUtf8Valid();
    int count = utf8_.ReplaceAll(s, t);
    if (count > 0) {
        OnlyValid(kUtf8Form);
        ansiState_ = kUndetermined;
    }
    return count;
}

bool XString::EqualsUtf8(const char* text)
{
    MakeUtf8Valid();
    return utf8_.Equals(text);
}

int XString::AnsiLength()
{
    MakeAnsiValid();
    return ansi_.GetLength();
}

int XString::Length()
{
    if (ansiValid_)
        return ansi_.GetLength();
    MakeUtf16Valid();
    return static_cast<int>(Utf16Bytes() / kUnitBytes);
}

} // namespace plentor
