// The URL list reader: a list file read line by line into a string array,
// with and without duplicates, trimming and CR LF line ends.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "services/ClsStringArray.h"
#include "text/StringBuffer.h"

#include <set>
#include <string>

using namespace plentor;
using namespace plentor::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    const std::string path = WriteScratchFile("links.txt", in.Rest());
    ClsStringArray list;
    list.SetUnique(flags & 1);
    list.SetTrim(flags & 2);
    list.SetCrlf(flags & 4);
    LogNull log;
    Require(list.LoadFromFile(path.c_str(), log));
    if (flags & 8)
        Require(list.LoadFromFile(path.c_str(), log));   // a second file of the same lines
    std::set<std::string> seen;
    StringBuffer item;
    for (int i = 0; i < list.Count(); ++i) {
        Require(list.GetString(i, item));
        if (item.ToStdString().find('\0') == std::string::npos)   // Occurrences takes a C string
            Require(list.Occurrences(item.GetString()) >= 1);
        const bool fresh = seen.insert(item.ToStdString()).second;
        if (list.GetUnique())
            Require(fresh);
    }
    Require(!list.GetString(list.Count(), item));
    return 0;
}
