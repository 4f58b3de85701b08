#include "popfollow.h"

#include "fileutil.h"
#include "sessionwait.h"
#include "statusline.h"
#include "transfermeter.h"

#include <cstdio>

namespace {

// The changing line of a retrieval: message n of N and the bytes of its
// file so far.
class PopProgressLine {
public:
    explicit PopProgressLine(const std::string& folder) : folder_(folder), start_(GetTickCount()) {}

    void startMessage(int n, int count)
    {
        finishMessage();
        n_ = n;
        count_ = count;
        messageStart_ = GetTickCount();
        update();
    }
    void finishMessage()
    {
        if (n_ > 0) {
            update(true, true);
            total_ += bytes_;
            bytes_ = 0;
        }
        n_ = 0;
    }
    void update(bool now = false, bool done = false)
    {
        if (n_ == 0)
            return;
        long long size = fileSizeOf(folder_ + "\\" + std::to_string(n_) + ".msg");
        if (size >= 0)
            bytes_ = size;
        double all = (GetTickCount() - start_) / 1000.0;
        double seconds = (GetTickCount() - messageStart_) / 1000.0;
        std::string text = "message " + std::to_string(n_) + " of " + std::to_string(count_) +
                           ": " + transferText(bytes_, -1, seconds);
        if (done) {
            text += ", done";
        } else {
            double left = secondsLeft(n_ - 1, count_, all);
            if (left >= 0)
                text += ", about " + formatDuration(left) + " left";
        }
        status_.show(text, now);
    }
    void line(const std::string& text) { status_.line(text); }
    long long totalBytes() const { return total_; }
    double seconds() const { return (GetTickCount() - start_) / 1000.0; }

private:
    std::string folder_;
    StatusLine status_;
    DWORD start_;
    DWORD messageStart_ = 0;
    int n_ = 0;
    int count_ = 0;
    long long bytes_ = 0;
    long long total_ = 0;
};

}  // namespace

PopWatch followPopSession(HWND window, int eventBase, const std::string& folder,
                          const PopFollowing& how)
{
    PopWatch watch;
    PopProgressLine progress(folder);
    auto show = [&](int w, int l) {
        if (l == 5) {
            progress.startMessage(w, watch.count());
            return;
        }
        // The message in progress ends with any other pair (its DELE went
        // out, or the session stopped).
        if (l == 10 || l == 500 || l < 0)
            progress.finishMessage();
        progress.line(watch.describe(w, l));
        if (l == 10 && watch.finished() > 0)
            progress.line(std::to_string(watch.finished()) + " of " + std::to_string(watch.count()) +
                          " messages, " + transferText(progress.totalBytes(), -1, progress.seconds()));
    };
    int stored = 0;  // messages handed to onStored
    auto pair = [&](int w, int l) {
        bool last = watch.take(w, l);
        if (how.onPair)
            how.onPair(watch, w, l);
        if (how.show)
            show(w, l);
        while (how.onStored && stored < watch.current() && watch.storedWhole(stored + 1))
            how.onStored(++stored);
        return last;
    };
    waitForLastPair(window, eventBase, pair, [&] {
        if (how.show)
            progress.update();
    });
    std::fflush(stdout);
    return watch;
}
