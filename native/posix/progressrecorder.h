// The native build's host window: notifyHost given a ProgressRecorder as its
// window appends the pair to it instead of posting a message.
#pragma once

#include <utility>
#include <vector>

namespace net {

struct ProgressRecorder {
    std::vector<std::pair<int, int>> pairs;
};

}  // namespace net
