#pragma once
// The graph an application builds for a capture device: source -> Sample Grabber -> Null
// Renderer, connected by the capture graph builder on the source's capture pin, with the format
// chosen through the pin's IAMStreamConfig as ffmpeg and OBS choose it. Every sample that reaches
// the Sample Grabber goes to a SampleSink, on the streaming thread.
#include <dshow.h>

#include <optional>
#include <string>

#include "platform/ComPtr.h"
#include "videosource/MediaTypeCopy.h"

namespace orvane::dshowcheck {

class SampleSink {
public:
    virtual ~SampleSink() = default;
    virtual void OnSample(IMediaSample& sample) = 0;
};

class CheckGraph {
public:
    CheckGraph() = default;
    ~CheckGraph();
    CheckGraph(const CheckGraph&) = delete;
    CheckGraph& operator=(const CheckGraph&) = delete;

    // Binds the device's filter, adds the three filters, sets `subtype` (when given) and connects
    // them. On failure `error` names the step that failed.
    HRESULT Build(IMoniker& device, const std::optional<GUID>& subtype, SampleSink& sink, std::string& error);
    // The same from a filter already made.
    HRESULT Build(IBaseFilter& source, const std::optional<GUID>& subtype, SampleSink& sink, std::string& error);

    // IMediaControl::Run (its answer, unchanged) and Stop.
    HRESULT Run();
    HRESULT Pause();
    void Stop();

    // Waits until `done` is set, the graph reports the end of the stream or an abort, or the
    // bound passes. Answers the event code (0 when `done` was set, -1 when the bound passed) and
    // its first parameter.
    long Wait(HANDLE done, DWORD milliseconds, LONG_PTR& parameter);

    IBaseFilter* Source() const { return source_.Get(); }
    IPin* SourcePin() const { return sourcePin_.Get(); }
    // The type the source's pin connected with.
    const AM_MEDIA_TYPE& ConnectedType() const { return connected_.Get(); }

private:
    HRESULT ChooseFormat(const GUID& subtype, std::string& error);

    ComPtr<IGraphBuilder> graph_;
    ComPtr<ICaptureGraphBuilder2> builder_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEvent> events_;
    ComPtr<IBaseFilter> source_;
    ComPtr<IPin> sourcePin_;
    ComPtr<IBaseFilter> grabber_;
    ComPtr<IBaseFilter> renderer_;
    ComPtr<IUnknown> callback_;
    videosource::MediaType connected_;
};

}  // namespace orvane::dshowcheck
