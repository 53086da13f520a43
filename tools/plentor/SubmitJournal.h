#pragma once

#include "services/ClsStringArray.h"

#include <string>

namespace plentor::cli {

// The URLs a bulk submission has saved, one a line in the URL-list format:
// each is appended (and handed to the system) as soon as the service took
// it, so a later run with the same journal skips what was saved, however
// the earlier run ended.
class SubmitJournal {
public:
    // path: UTF-8, as given on the command line.
    explicit SubmitJournal(std::string path);

    // Reads the URLs saved before; a journal that does not exist yet is
    // empty. False, with why set, when it exists but cannot be read.
    bool Load(std::string& why);

    // Whether url was saved before (or by this run).
    bool Has(const std::string& url) const;

    // Appends url as a line; false, with why set, when it cannot be written.
    bool Record(const std::string& url, std::string& why);

    const std::string& Path() const { return path_; }

private:
    std::string path_;          // as given
    std::string fileName_;      // in the form the file functions open
    ClsStringArray saved_;
    bool needsLineEnd_ = false; // the file ends inside a line (a run killed mid-write)
};

} // namespace plentor::cli
