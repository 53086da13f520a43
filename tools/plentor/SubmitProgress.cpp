#include "SubmitProgress.h"
#include "StandardIo.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cstdio>

namespace plentor::cli {

namespace {

// Cells of the bar; with the counts the line stays within 80 columns.
constexpr size_t kBarCells = 30;

std::string TwoDigits(uint64_t n)
{
    std::string digits = std::to_string(n);
    if (n < 10) digits.insert(digits.begin(), '0');
    return digits;
}

// "[3/50] "
std::string Count(size_t done, size_t total)
{
    std::string count(1, '[');
    count.append(std::to_string(done)).append(1, '/').append(std::to_string(total));
    return count.append("] ");
}

// "1h02m", "2m05s", "45s".
std::string Duration(uint64_t seconds)
{
    if (seconds >= 3600) return std::to_string(seconds / 3600) + "h" + TwoDigits(seconds / 60 % 60) + "m";
    if (seconds >= 60) return std::to_string(seconds / 60) + "m" + TwoDigits(seconds % 60) + "s";
    return std::to_string(seconds) + "s";
}

// Writes text, then blanks out what is left of a longer line drawn before.
void Overwrite(const std::string& text, size_t drawnWidth)
{
    std::string line = "\r" + text;
    if (drawnWidth > text.size()) line.append(drawnWidth - text.size(), ' ');
    WriteMessage(line);
}

} // namespace

SubmitProgress::SubmitProgress(size_t total, long paceMs, Style style)
    : total_(total), paceMs_(paceMs > 0 ? static_cast<uint64_t>(paceMs) : 0), style_(style)
{
}

void SubmitProgress::Start()
{
    startTicks_ = platform::TickCount();
    if (style_ == Style::Bar) DrawBar();
}

void SubmitProgress::PageDone(const std::string& url, const std::string& failure)
{
    ++done_;
    failed_ += failure.empty() ? 0 : 1;
    std::string outcome = failure.empty() ? "saved " : "failed ";
    outcome.append(url);
    if (!failure.empty()) outcome.append(": ").append(failure);
    if (style_ == Style::Lines) {
        WriteMessage(Count(done_, total_).append(outcome).append(1, '\n'));
        return;
    }
    if (!failure.empty()) {
        Overwrite(outcome, drawnWidth_);
        std::fputc('\n', stderr);
        drawnWidth_ = 0;
    }
    DrawBar();
}

void SubmitProgress::Finish()
{
    if (style_ == Style::Bar) std::fputc('\n', stderr);
    std::fflush(stderr);
}

void SubmitProgress::DrawBar()
{
    const size_t filled = total_ == 0 ? kBarCells : done_ * kBarCells / total_;
    std::string line(1, '[');
    line.append(filled, '#').append(kBarCells - filled, '.').append("] ");
    line.append(std::to_string(done_)).append(1, '/').append(std::to_string(total_));
    if (failed_ > 0) line.append(", ").append(std::to_string(failed_)).append(" failed");
    line += TimeLeft();
    Overwrite(line, drawnWidth_);
    std::fflush(stderr);
    drawnWidth_ = line.size();
}

// ", about 2m05s left" once a page is done and some remain, else "".
std::string SubmitProgress::TimeLeft() const
{
    if (done_ == 0 || done_ >= total_) return std::string();
    // The pages so far took elapsed, less the waits between them; each page
    // left takes as long on average, plus one wait.
    const uint64_t elapsedMs = static_cast<uint32_t>(platform::TickCount() - startTicks_);
    const uint64_t waitedMs = std::min<uint64_t>(elapsedMs, paceMs_ * (done_ - 1));
    const uint64_t leftMs = ((elapsedMs - waitedMs) / done_ + paceMs_) * (total_ - done_);
    return std::string(", about ").append(Duration((leftMs + 999) / 1000)).append(" left");
}

} // namespace plentor::cli
