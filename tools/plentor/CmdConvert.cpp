// plentor convert: converts bytes between charsets with the library's tables.
#include "Command.h"
#include "StandardIo.h"

#include "base/LogNull.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"

#include <cstdint>
#include <cstdio>

namespace plentor::cli {

namespace {

int RunConvert(const std::vector<std::string>& args);

const Command kConvert = {
    "convert",
    "convert --from NAME --to NAME [FILE]",
    "convert the bytes of FILE (or standard input) from one charset to another",
    "NAME is a charset name such as utf-8, iso-8859-1, windows-1252 or\n"
    "shift_jis; case, surrounding spaces and '_' versus '-' do not matter.\n"
    "The converted bytes are written to standard output. A byte-order mark at\n"
    "the start of UTF-8 or UTF-16 input is dropped.\n"
    "\n"
    "Exit status: 2 for an unknown charset name or bad arguments; 1 when FILE\n"
    "cannot be read or the conversion was incomplete (characters the target\n"
    "cannot hold are dropped; what was converted is still written).\n",
    RunConvert,
};

const Command::Registrar kRegistrar(kConvert);

// The whole input is held in memory; conversion lengths are 32-bit.
constexpr size_t kMaxInputBytes = size_t{1} << 30;

struct ConvertArgs {
    std::string from;
    std::string to;
    std::string file;   // empty: standard input
};

// Fills parsed from args; an empty result means success, otherwise the reason.
std::string ParseArgs(const std::vector<std::string>& args, ConvertArgs& parsed)
{
    bool haveFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--from" || a == "--to") {
            if (i + 1 >= args.size())
                return a + " needs a charset name";
            (a == "--from" ? parsed.from : parsed.to) = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option '" + a + "'";
        } else if (haveFile) {
            return "more than one FILE given";
        } else {
            parsed.file = a;
            haveFile = true;
        }
    }
    if (parsed.from.empty())
        return "--from is missing";
    if (parsed.to.empty())
        return "--to is missing";
    return {};
}

// Reads FILE ("-" or empty: standard input); reports a failure on stderr.
bool ReadConvertInput(const std::string& file, std::vector<uint8_t>& bytes)
{
    std::string reason;
    if (ReadInput(file, kMaxInputBytes, bytes, reason))
        return true;
    std::fprintf(stderr, "plentor convert: cannot read %s%s%s\n", InputName(file).c_str(), reason.empty() ? "" : ": ",
                 reason.c_str());
    return false;
}

int CodePageOrComplain(const std::string& name)
{
    int codePage = CharsetNames::CodePageFromName(name.c_str());
    if (codePage == 0)
        std::fprintf(stderr, "plentor convert: unknown charset '%s'\n", name.c_str());
    return codePage;
}

int RunConvert(const std::vector<std::string>& args)
{
    ConvertArgs parsed;
    std::string why = ParseArgs(args, parsed);
    if (!why.empty())
        return UsageError(kConvert, why);
    int from = CodePageOrComplain(parsed.from);
    int to = CodePageOrComplain(parsed.to);
    if (from == 0 || to == 0)
        return kExitUsage;

    std::vector<uint8_t> input;
    if (!ReadConvertInput(parsed.file, input))
        return kExitFailure;

    DataBuffer output;
    LogNull log;
    EncodingConvert convert;
    bool complete = convert.Convert(from, to, input.data(), static_cast<unsigned>(input.size()), output, log);
    if (!output.IsEmpty())
        WriteOutput(output);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "plentor convert: cannot write to standard output\n");
        return kExitFailure;
    }
    if (!complete) {
        std::fprintf(stderr, "plentor convert: conversion from %s to %s was incomplete\n", parsed.from.c_str(),
                     parsed.to.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

} // namespace plentor::cli
