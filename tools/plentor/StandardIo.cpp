#include "StandardIo.h"

#include "platform/CommandLine.h"
#include "platform/Files.h"
#include "platform/StandardStreams.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <cstdio>

namespace plentor::cli {

namespace {

// Bytes asked of the C runtime per read.
constexpr size_t kReadBlock = 65536;

} // namespace

void PrepareStandardStreams()
{
    platform::SetBinaryMode(stdin);
    platform::SetBinaryMode(stdout);
}

bool WriteOutput(const void* data, size_t n) { return std::fwrite(data, 1, n, stdout) == n; }

bool WriteOutput(std::string_view text) { return WriteOutput(text.data(), text.size()); }

bool WriteOutput(const StringBuffer& text)
{
    return WriteOutput(text.GetString(), static_cast<size_t>(text.GetLength()));
}

bool WriteOutput(const DataBuffer& bytes) { return WriteOutput(bytes.Data(), bytes.Size()); }

void WriteMessage(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }

void WriteMessage(const StringBuffer& text)
{
    WriteMessage(std::string_view(text.GetString(), static_cast<size_t>(text.GetLength())));
}

bool IsStandardInput(const std::string& file) { return file.empty() || file == "-"; }

std::string InputName(const std::string& file) { return IsStandardInput(file) ? "standard input" : file; }

bool ReadStandardInput(size_t maxBytes, std::vector<uint8_t>& out, std::string& reason)
{
    out.clear();
    uint8_t block[kReadBlock];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, stdin)) > 0) {
        if (got > maxBytes - out.size()) {
            out.clear();
            reason = "more than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
        out.insert(out.end(), block, block + got);
    }
    if (!std::ferror(stdin))
        return true;
    reason = "read error";
    return false;
}

bool ReadInput(const std::string& file, size_t maxBytes, std::vector<uint8_t>& out, std::string& reason)
{
    if (IsStandardInput(file))
        return ReadStandardInput(maxBytes, out, reason);
    platform::FileError err;
    if (platform::ReadWholeFileUpTo(platform::FileNameFromUtf8(file).c_str(), maxBytes, out, err))
        return true;
    reason = err.message;
    return false;
}

} // namespace plentor::cli
