#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plentor::cli {

// The progress of a bulk submission on standard error. On a terminal it is
// one line redrawn in place: a bar, pages done of the total, failures and
// the time left (the pages' time so far, with the waits between them); a failure is written above it as a
// line of its own. Otherwise (a file, a pipe) each page gets one plain
// line: "[3/50] saved URL" or "[4/50] failed URL: reason".
class SubmitProgress {
public:
    enum class Style { Bar, Lines };

    // paceMs: the wait between two pages.
    SubmitProgress(size_t total, long paceMs, Style style);

    // Draws the empty bar; nothing in the Lines style.
    void Start();
    // One page is done; failure is empty when it was saved.
    void PageDone(const std::string& url, const std::string& failure);
    // Ends the bar's line, so what follows starts on a line of its own.
    void Finish();

private:
    void DrawBar();
    std::string TimeLeft() const;

    size_t total_;
    uint64_t paceMs_;
    Style style_;
    size_t done_ = 0;
    size_t failed_ = 0;
    uint32_t startTicks_ = 0;
    size_t drawnWidth_ = 0;   // length of the bar line on screen, to blank it out
};

} // namespace plentor::cli
