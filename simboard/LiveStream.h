#pragma once
// The live stream of one mode: the caller's pixel blocks, the board's queue of blocks to fill,
// the queue of filled blocks, and the producer thread that fills them at the frame rate.
//
// A block is in exactly one state: held by the board (queued, waiting to be filled), being filled,
// ready (filled, queued for eHD_GetStreamBuffer) or handed over (until eHD_ReleaseStreamBuffer
// returns it to the end of the board's queue). A tick that finds no block held by the board is
// a dropped frame.
#include <windows.h>

#include <deque>
#include <memory>
#include <vector>

#include "interfaces/BoardLibrary.h"
#include "simboard/PixelPattern.h"

namespace simboard {

enum class BlockState { HeldByBoard, Filling, Ready, HandedOver };

struct Stream {
    ~Stream();

    WORD boardIndex = 0;
    DWORD modeHandle = 0;
    BYTE** callerArray = nullptr;  // the buffer array of the stream parameters, checked at close
    std::vector<BYTE*> blocks;
    std::vector<BlockState> states;
    std::unique_ptr<BufferDescriptor[]> descriptors;
    std::deque<int> boardQueue;
    std::deque<int> readyQueue;
    int formatType = 6;
    int width = 0;
    int height = 0;
    FramePainter painter;  // used by the producer thread only

    HANDLE frameEvent = nullptr;  // our duplicate of the caller's event
    HANDLE wake = nullptr;        // auto-reset: stop, pause, rate change or a block given back
    HANDLE thread = nullptr;
    bool started = false;
    bool stopRequested = false;
    DWORD nextFrameNumber = 0;
    int dropAccumulator = 0;

    // Index of the block whose descriptor this is, or -1.
    int DescriptorIndex(const BufferDescriptor* descriptor) const;
};

// Stops the stream's producer, if one runs, and waits for its thread to end.
// Control lock held, state lock NOT held.
void StopProducer(Stream& stream);
// Stops and forgets the stream of a board. Control lock held, state lock NOT held.
void CloseBoardStream(WORD boardIndex);
// Wakes every producer (after a control change). State lock held.
void WakeProducers();

}  // namespace simboard
