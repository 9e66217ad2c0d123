// The live stream: eHD_LiveStreamOpen/Mode/Close, eHD_GetStreamBuffer, eHD_ReleaseStreamBuffer
// and the producer thread.
//
// The producer schedules frame k of a run at start + k x period, read from the performance
// counter (no drift from accumulated sleeps). A tick that comes late by whole periods counts the
// ticks it skipped ("ticksSkipped"); the frame number advances by one per tick, skipped or not,
// like a real source. Each tick takes the first block the board holds, paints the frame into it,
// queues its descriptor and sets the frame event once; a tick with no block held is a dropped
// frame ("framesDroppedNoBlock"). At the unlimited rate the producer instead waits for a block to
// come back and drops nothing.
#include "simboard/BoardOperation.h"
#include "simboard/LiveStream.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "simboard/SimState.h"

namespace simboard {

Stream::~Stream()
{
    for (HANDLE handle : {frameEvent, wake, thread}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
}

int Stream::DescriptorIndex(const BufferDescriptor* descriptor) const
{
    const uintptr_t base = reinterpret_cast<uintptr_t>(descriptors.get());
    const uintptr_t at = reinterpret_cast<uintptr_t>(descriptor);
    if (base == 0 || at < base || (at - base) % sizeof(BufferDescriptor) != 0) {
        return -1;
    }
    const uintptr_t index = (at - base) / sizeof(BufferDescriptor);
    return index < blocks.size() ? static_cast<int>(index) : -1;
}

namespace {

HMODULE g_self = nullptr;  // this DLL, referenced once per running producer

// Frame period in performance-counter ticks; 0 = unlimited. State lock held.
double PeriodTicks(const Device& device, const Board& board)
{
    if (board.settings.rateOverride < 0) {
        return 0.0;
    }
    double fps = board.settings.rateOverride;
    if (fps <= 0) {
        fps = static_cast<double>(board.mode.horizontalFrequency) / (board.mode.verticalTotal > 0 ? board.mode.verticalTotal : 1);
    }
    if (fps <= 0) {
        fps = 1.0;
    }
    return static_cast<double>(device.qpcFrequency) / fps;
}

// One tick: fills the next block the board holds. False when nothing was filled because no block
// was held or there was no signal.
bool ProduceFrame(Stream& stream, bool unlimited)
{
    Device& device = TheDevice();
    int index = -1;
    DWORD frameNumber = 0;
    bool timeCode = false;
    int timeCodeRate = 30;
    bool headerOnly = false;
    {
        StateGuard guard;
        // The stream's board stays while its producer runs: boards are replaced only after every
        // stream was closed.
        Board* board = device.FindBoard(stream.boardIndex);
        if (board == nullptr || board->settings.paused) {
            return false;
        }
        if (!unlimited) {
            frameNumber = stream.nextFrameNumber++;
        }
        if (!board->settings.signal) {
            device.Count(board, &Counters::ticksNoSignal);
            return false;
        }
        if (board->settings.dropPercent > 0) {
            stream.dropAccumulator += board->settings.dropPercent;
            if (stream.dropAccumulator >= 100) {
                stream.dropAccumulator -= 100;
                device.Count(board, &Counters::framesDroppedInjected);
                if (unlimited) {
                    ++stream.nextFrameNumber;
                }
                return true;
            }
        }
        if (stream.boardQueue.empty()) {
            if (!unlimited) {
                device.Count(board, &Counters::framesDroppedNoBlock);
            }
            return false;
        }
        if (unlimited) {
            frameNumber = stream.nextFrameNumber++;
        }
        index = stream.boardQueue.front();
        stream.boardQueue.pop_front();
        stream.states[static_cast<size_t>(index)] = BlockState::Filling;
        timeCode = device.timeCode;
        timeCodeRate = device.timeCodeRate;
        headerOnly = device.headerOnly;
    }
    // The block being filled is the producer's alone: paint it without the lock.
    BYTE* block = stream.blocks[static_cast<size_t>(index)];
    if (headerOnly) {
        stream.painter.PaintHeader(block, frameNumber, timeCode, timeCodeRate);
    } else {
        stream.painter.Paint(block, frameNumber, timeCode, timeCodeRate);
    }
    const LONGLONG filled = QpcNow();
    {
        StateGuard guard;
        Board* board = device.FindBoard(stream.boardIndex);
        // A pause that arrived while painting wins: the block goes back to the board unseen, so
        // that once SimBoard_PauseProducer(1) has returned no further frame is delivered.
        if (board == nullptr || board->settings.paused) {
            stream.states[static_cast<size_t>(index)] = BlockState::HeldByBoard;
            stream.boardQueue.push_front(index);
            return false;
        }
        stream.states[static_cast<size_t>(index)] = BlockState::Ready;
        stream.descriptors[static_cast<size_t>(index)].frameNumber = frameNumber;
        stream.readyQueue.push_back(index);
        device.fillTimes[stream.blocks[static_cast<size_t>(index)]] = filled;
        device.Count(board, &Counters::framesProduced);
    }
    SetEvent(stream.frameEvent);
    return true;
}

void ProducerLoop(Stream& stream)
{
    Device& device = TheDevice();
    const LONGLONG frequency = device.qpcFrequency;
    double period = -1.0;
    LONGLONG start = 0;
    unsigned long long tick = 0;  // last tick handled in this run
    bool rebase = true;
    for (;;) {
        double wanted = 0.0;
        bool paused = false;
        {
            StateGuard guard;
            if (stream.stopRequested) {
                return;
            }
            Board* board = device.FindMode(stream.modeHandle);
            paused = board == nullptr || board->settings.paused;
            wanted = board != nullptr ? PeriodTicks(device, *board) : static_cast<double>(frequency);
            if (wanted != period) {
                device.frameRateMilliHz = wanted > 0 ? static_cast<long long>(static_cast<double>(frequency) * 1000.0 / wanted + 0.5) : -1;
                if (board != nullptr) {
                    board->frameRateMilliHz = device.frameRateMilliHz;
                }
            }
        }
        if (paused) {
            WaitForSingleObject(stream.wake, 100);
            rebase = true;
            continue;
        }
        if (wanted != period) {
            period = wanted;
            rebase = true;
        }
        if (rebase) {
            start = QpcNow();
            tick = 0;
            rebase = false;
        }
        if (period <= 0.0) {
            if (!ProduceFrame(stream, true)) {
                WaitForSingleObject(stream.wake, 5);
            }
            continue;
        }
        const LONGLONG now = QpcNow();
        const LONGLONG due = start + static_cast<LONGLONG>(static_cast<double>(tick + 1) * period);
        if (now < due) {
            const LONGLONG milliseconds = ((due - now) * 1000 + frequency - 1) / frequency;
            WaitForSingleObject(stream.wake, static_cast<DWORD>(milliseconds));
            continue;
        }
        const unsigned long long latest = static_cast<unsigned long long>(static_cast<double>(now - start) / period);
        if (latest > tick + 1) {
            const unsigned long long skipped = latest - tick - 1;
            StateGuard guard;
            device.Count(device.FindBoard(stream.boardIndex), &Counters::ticksSkipped, static_cast<long long>(skipped));
            stream.nextFrameNumber += static_cast<DWORD>(skipped);
        }
        tick = latest > tick ? latest : tick + 1;
        ProduceFrame(stream, false);
    }
}

DWORD WINAPI ProducerMain(LPVOID argument)
{
    timeBeginPeriod(1);
    ProducerLoop(*static_cast<Stream*>(argument));
    timeEndPeriod(1);
    {
        StateGuard guard;
        Device& device = TheDevice();
        --device.producerThreads;
        if (Board* board = device.FindBoard(static_cast<Stream*>(argument)->boardIndex)) {
            --board->producerThreads;
        }
    }
    FreeLibraryAndExitThread(g_self, 0);
    return 0;
}

WORD StartProducer(Stream& stream)
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ProducerMain), &self)) {
        return OHD_ERR_THREAD_FAILED;
    }
    g_self = self;
    stream.stopRequested = false;
    HANDLE thread = CreateThread(nullptr, 0, ProducerMain, &stream, 0, nullptr);
    if (thread == nullptr) {
        FreeLibrary(self);
        return OHD_ERR_THREAD_FAILED;
    }
    stream.thread = thread;
    stream.started = true;
    Device& device = TheDevice();
    Board* board = device.FindBoard(stream.boardIndex);
    ++device.producerThreads;
    if (board != nullptr) {
        ++board->producerThreads;
    }
    device.Count(board, &Counters::streamsStarted);
    return OHD_OK;
}

// Takes the stream of a board out of it (after its producer stopped). Control lock held.
void ForgetStream(WORD boardIndex)
{
    std::unique_ptr<Stream> dead;
    {
        StateGuard guard;
        Board* board = TheDevice().FindBoard(boardIndex);
        if (board == nullptr || board->stream == nullptr) {
            return;
        }
        dead = std::move(board->stream);
        TheDevice().retiredDescriptors.push_back(std::move(dead->descriptors));
    }
    // Handles are closed outside the lock.
}

}  // namespace

void StopProducer(Stream& stream)
{
    HANDLE thread = nullptr;
    {
        StateGuard guard;
        if (stream.thread == nullptr) {
            stream.started = false;
            return;
        }
        stream.stopRequested = true;
        thread = stream.thread;
        stream.thread = nullptr;
        SetEvent(stream.wake);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    StateGuard guard;
    stream.stopRequested = false;
    stream.started = false;
}

void CloseBoardStream(WORD boardIndex)
{
    Stream* stream = nullptr;
    {
        StateGuard guard;
        Board* board = TheDevice().FindBoard(boardIndex);
        if (board == nullptr || board->stream == nullptr) {
            return;
        }
        stream = board->stream.get();
    }
    StopProducer(*stream);
    ForgetStream(boardIndex);
}

void WakeProducers()
{
    for (Board& board : TheDevice().boards) {
        if (board.stream != nullptr && board.stream->wake != nullptr) {
            SetEvent(board.stream->wake);
        }
    }
}

}  // namespace simboard

using namespace simboard;

extern "C" {

WORD WINAPI eHD_LiveStreamOpen(DWORD mode, StreamParameters* parameters)
{
    return Guarded([&]() -> WORD {
        ControlGuard control;
        StateGuard guard;
        WORD injected = 0;
        if (EnterOperation(Op::LiveStreamOpen, TheDevice().FindMode(mode), &injected)) {
            return injected;
        }
        if (parameters == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Device& device = TheDevice();
        Board* board = device.FindMode(mode);
        if (board == nullptr) {
            return OHD_ERR_INVALID_MODE_HANDLE;
        }
        if (parameters->size != sizeof(StreamParameters)) {
            return OHD_ERR_INVALID_SIZE;
        }
        if (board->stream != nullptr) {
            return OHD_ERR_STREAM_ALREADY_OPEN;
        }
        const DWORD count = parameters->bufferCount;
        if (parameters->buffers == nullptr || count == 0 || count > 4096) {
            return OHD_ERR_INVALID_BUFFER_LIST;
        }
        if (BitsPerPixel(parameters->formatType) == 0) {
            return OHD_ERR_UNKNOWN_FORMAT;
        }
        if (parameters->width < 1 || parameters->height < 1 || parameters->width > board->mode.activePixels ||
            parameters->height > board->mode.activeLines) {
            return OHD_ERR_STREAM_SIZE_MISMATCH;
        }
        std::vector<BYTE*> blocks(parameters->buffers, parameters->buffers + count);
        std::vector<BYTE*> sorted(blocks);
        std::sort(sorted.begin(), sorted.end());
        if (sorted.front() == nullptr || std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
            return OHD_ERR_INVALID_BUFFER_LIST;
        }
        if (parameters->frameEvent == nullptr) {
            return OHD_ERR_INVALID_EVENT;
        }
        HANDLE event = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), parameters->frameEvent, GetCurrentProcess(), &event, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
            return OHD_ERR_INVALID_EVENT;
        }
        auto stream = std::make_unique<Stream>();
        stream->frameEvent = event;  // owned by the stream from here on
        if (!board->settings.signal) {
            return OHD_ERR_NO_SIGNAL;
        }
        stream->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (stream->wake == nullptr) {
            return OHD_ERR_OUT_OF_MEMORY;
        }
        stream->boardIndex = board->config.index;
        stream->modeHandle = mode;
        stream->callerArray = parameters->buffers;
        stream->blocks = std::move(blocks);
        stream->states.assign(count, BlockState::HeldByBoard);
        stream->descriptors = std::make_unique<BufferDescriptor[]>(count);
        for (DWORD i = 0; i < count; ++i) {
            stream->descriptors[i].frameNumber = 0;
            stream->descriptors[i].pixels = stream->blocks[i];
            stream->boardQueue.push_back(static_cast<int>(i));
        }
        stream->formatType = parameters->formatType;
        stream->width = parameters->width;
        stream->height = parameters->height;
        stream->painter.Prepare(parameters->formatType, parameters->width, parameters->height);
        stream->painter.SetSource(board->config.index, board->config.serial);
        board->stream = std::move(stream);
        return OHD_OK;
    });
}

WORD WINAPI eHD_LiveStreamMode(DWORD mode, DWORD command)
{
    return Guarded([&]() -> WORD {
        ControlGuard control;
        Stream* stream = nullptr;
        {
            StateGuard guard;
            WORD injected = 0;
            if (EnterOperation(Op::LiveStreamMode, TheDevice().FindMode(mode), &injected)) {
                return injected;
            }
            Board* board = TheDevice().FindMode(mode);
            if (board == nullptr) {
                return OHD_ERR_INVALID_MODE_HANDLE;
            }
            if (board->stream == nullptr) {
                return OHD_ERR_STREAM_NOT_OPEN;
            }
            if (command == OHD_STREAM_START) {
                if (board->stream->started) {
                    return OHD_ERR_STREAM_ALREADY_STARTED;
                }
                return StartProducer(*board->stream);
            }
            if (command != OHD_STREAM_STOP) {
                return OHD_ERR_INVALID_COMMAND;
            }
            stream = board->stream.get();
        }
        StopProducer(*stream);
        return OHD_OK;
    });
}

WORD WINAPI eHD_LiveStreamClose(DWORD mode, StreamParameters* parameters)
{
    return Guarded([&]() -> WORD {
        ControlGuard control;
        WORD boardIndex = 0;
        {
            StateGuard guard;
            WORD injected = 0;
            if (EnterOperation(Op::LiveStreamClose, TheDevice().FindMode(mode), &injected)) {
                return injected;
            }
            if (parameters == nullptr) {
                return OHD_ERR_NULL_POINTER;
            }
            Board* board = TheDevice().FindMode(mode);
            if (board == nullptr) {
                return OHD_ERR_INVALID_MODE_HANDLE;
            }
            if (board->stream == nullptr) {
                return OHD_ERR_STREAM_NOT_OPEN;
            }
            if (parameters->size != sizeof(StreamParameters)) {
                return OHD_ERR_INVALID_SIZE;
            }
            if (parameters->buffers != board->stream->callerArray) {
                return OHD_ERR_STREAM_PARAMS_MISMATCH;
            }
            boardIndex = board->config.index;
        }
        CloseBoardStream(boardIndex);
        return OHD_OK;
    });
}

WORD WINAPI eHD_GetStreamBuffer(DWORD mode, BufferDescriptor** descriptor)
{
    return BoardOperationOn(Op::GetStreamBuffer, ByMode(mode), [&]() -> WORD {
        if (descriptor == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Board* board = TheDevice().FindMode(mode);
        if (board == nullptr) {
            return OHD_ERR_INVALID_MODE_HANDLE;
        }
        Stream* stream = board->stream.get();
        if (stream == nullptr) {
            return OHD_ERR_STREAM_NOT_OPEN;
        }
        if (stream->readyQueue.empty()) {
            return OHD_ERR_NO_BUFFER_READY;
        }
        const int index = stream->readyQueue.front();
        stream->readyQueue.pop_front();
        stream->states[static_cast<size_t>(index)] = BlockState::HandedOver;
        *descriptor = &stream->descriptors[static_cast<size_t>(index)];
        TheDevice().Count(board, &Counters::framesDelivered);
        return OHD_OK;
    });
}

WORD WINAPI eHD_ReleaseStreamBuffer(DWORD mode, BufferDescriptor* descriptor)
{
    return BoardOperationOn(Op::ReleaseStreamBuffer, ByMode(mode), [&]() -> WORD {
        if (descriptor == nullptr) {
            return OHD_ERR_NULL_POINTER;
        }
        Device& device = TheDevice();
        Board* board = device.FindMode(mode);
        if (board == nullptr) {
            return OHD_ERR_INVALID_MODE_HANDLE;
        }
        Stream* stream = board->stream.get();
        if (stream == nullptr) {
            return OHD_ERR_STREAM_NOT_OPEN;
        }
        const int index = stream->DescriptorIndex(descriptor);
        if (index < 0) {
            return OHD_ERR_UNKNOWN_DESCRIPTOR;
        }
        if (stream->states[static_cast<size_t>(index)] != BlockState::HandedOver) {
            return OHD_ERR_BUFFER_NOT_HANDED_OVER;
        }
        stream->states[static_cast<size_t>(index)] = BlockState::HeldByBoard;
        stream->boardQueue.push_back(index);
        device.Count(board, &Counters::framesReleased);
        if (board->settings.rateOverride < 0) {
            SetEvent(stream->wake);  // an unlimited producer waits for blocks
        }
        return OHD_OK;
    });
}

}  // extern "C"
