// IOrvaneFrameCounters: what became of the frames the board filled, for hosts that must tell the
// user about every frame they did not get, apart from what the board itself dropped.
#include "module/CorvathOrvane.h"

#include "buffers/FrameCounters.h"
#include "card/OrvaneCard.h"

namespace {

// The interface's causes are the card's, number for number.
static_assert(static_cast<int>(FrameLoss::NoImage) == OrvaneLossNoImage);
static_assert(static_cast<int>(FrameLoss::Unread) == OrvaneLossUnread);
static_assert(static_cast<int>(FrameLoss::BoardSkipped) == OrvaneLossBoardSkipped);

}  // namespace

STDMETHODIMP CCorvathOrvane::GetFramesCaptured(LONGLONG* frames)
{
    if (frames == nullptr) {
        return E_POINTER;
    }
    return WithCard([&](COrvaneCard& card) {
        *frames = card.FrameCounts().Captured();
        return S_OK;
    });
}

STDMETHODIMP CCorvathOrvane::GetFramesLost(OrvaneFrameLoss cause, LONGLONG* frames)
{
    if (frames == nullptr) {
        return E_POINTER;
    }
    const int index = static_cast<int>(cause);
    if (index < 0 || index >= kFrameLossCauses) {
        return E_INVALIDARG;
    }
    return WithCard([&](COrvaneCard& card) {
        *frames = card.FrameCounts().Lost(static_cast<FrameLoss>(index));
        return S_OK;
    });
}
