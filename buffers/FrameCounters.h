#pragma once
// What became of the frames the board filled: how many reached the ready list, and how many did
// not, by cause. Counted from the moment the list exists, never reset; a host takes differences.
// The values are read by any thread without a lock.
#include <array>
#include <atomic>
#include <cstdint>

// The causes; the numbers are those of OrvaneFrameLoss in the module's interface.
enum class FrameLoss : int {
    // The board filled a buffer whose image was in no list (deleted while the board held the
    // buffer, or not the card's): the buffer went back to the board, the frame with it.
    NoImage = 0,
    // Filled frames the host let go without reading them: still in the ready list at the next
    // EnableGrab, at FreeBuffers, or given back with ReleaseAll.
    Unread = 1,
    // Frame numbers the board skipped between two buffers it handed over: frames the board
    // itself could not fill (no buffer held, no signal, its own drops).
    BoardSkipped = 2,
};
constexpr int kFrameLossCauses = 3;

class CFrameCounters {
public:
    void CountCaptured() noexcept { captured_.fetch_add(1, std::memory_order_relaxed); }
    void CountLost(FrameLoss cause, std::int64_t frames) noexcept
    {
        if (frames > 0) {
            lost_[static_cast<size_t>(cause)].fetch_add(frames, std::memory_order_relaxed);
        }
    }

    // Frames moved to the ready list, each one filled by the board.
    std::int64_t Captured() const noexcept { return captured_.load(std::memory_order_relaxed); }
    std::int64_t Lost(FrameLoss cause) const noexcept
    {
        return lost_[static_cast<size_t>(cause)].load(std::memory_order_relaxed);
    }

private:
    std::atomic<std::int64_t> captured_{0};
    std::array<std::atomic<std::int64_t>, kFrameLossCauses> lost_{};
};
