#include "SubmitJournal.h"

#include "log/Logger.h"
#include "platform/CommandLine.h"
#include "platform/Files.h"

#include <cstdint>
#include <vector>

namespace plentor::cli {

SubmitJournal::SubmitJournal(std::string path)
    : path_(std::move(path)), fileName_(platform::FileNameFromUtf8(path_))
{
    saved_.SetUnique(true);
    saved_.SetTrim(true);
}

bool SubmitJournal::Load(std::string& why)
{
    if (!platform::FileExists(fileName_.c_str())) return true;
    Logger log;
    uint64_t size = 0;
    platform::FileError err;
    std::vector<uint8_t> last;
    if (!saved_.LoadFromFile(fileName_.c_str(), log) || !platform::FileSizeOf(fileName_.c_str(), size, err) ||
        (size > 0 && !platform::ReadFileAt(fileName_.c_str(), size - 1, 1, last, err))) {
        why = "cannot read the journal " + path_;
        return false;
    }
    needsLineEnd_ = !last.empty() && last[0] != '\n';
    return true;
}

bool SubmitJournal::Has(const std::string& url) const { return saved_.Occurrences(url.c_str()) > 0; }

bool SubmitJournal::Record(const std::string& url, std::string& why)
{
    const std::string line = (needsLineEnd_ ? "\n" : "") + url + "\n";
    platform::FileError err;
    if (!platform::AppendToFile(fileName_.c_str(), line.data(), line.size(), err)) {
        why = "cannot write the journal " + path_ + ": " + err.message;
        return false;
    }
    needsLineEnd_ = false;
    saved_.Append(url.c_str());
    return true;
}

} // namespace plentor::cli
