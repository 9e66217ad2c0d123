#pragma once
// The one object that stands for the frame-grabber board: it owns the board connection (through its
// board base), the pixel blocks and (through its list base) the images, and applies the CHP
// configuration file (through its configuration base).
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "adjustments/AdjustmentSupport.h"
#include "adjustments/TypedAdjustments.h"
#include "buffers/PixelBlocks.h"
#include "buffers/TripleList.h"
#include "config/ConfigurationFile.h"
#include "config/ImageFormatSetting.h"
#include "interfaces/BoardLibrary.h"
#include "platform/CriticalSection.h"
#include "platform/ReaderWriterLock.h"
#include "settings/SettingsStruct.h"

// The list base comes first, so the card's virtual operations keep the list's order and the card's
// own follow them.
class COrvaneCard : public CTripleList,
                    public CConfigurationFile,
                    public CSettingsStruct,
                    public CImageFormatSetting,
                    public CAdjustmentSupport,
                    public CBlackLevelAdjustment<double>,
                    public CGainAdjustment<double>,
                    public CPhaseAdjustment<double>,
                    public CHorizontalPositionAdjustment<long>,
                    public CVerticalPositionAdjustment<double>,
                    public CPixelClockAdjustment<long>,
                    public CBrightnessAdjustment<long>,
                    public CContrastAdjustment<long>,
                    public CHueAdjustment<long>,
                    public CSaturationAdjustment<long> {
public:
    // Opens the first board and applies the remembered CHP file (or asks for one). Raises the
    // message exception "Orvane - Board Initialization FAILED..." when no usable board is found.
    explicit COrvaneCard(BSTR registryPath);
    ~COrvaneCard() override;
    COrvaneCard(const COrvaneCard&) = delete;
    COrvaneCard& operator=(const COrvaneCard&) = delete;

    // Buffers. The three host calls are refused while grabbing (they replace the blocks the board
    // writes into); with no image left, FreeBuffers frees the pixel blocks too.
    void AllocateBuffers(int count) override;
    void ReallocateBuffers() override;
    void FreeBuffers() override;
    bool AllocatePixelBuffers(int count);
    void FreePixelBuffers(int count);

    // Grabbing. EnableGrab raises a message exception when the stream cannot start (no signal, no
    // buffers, the board's refusal) and refuses a second start while grabbing; SetROI is refused
    // while grabbing.
    bool GrabNext() override;
    void ReleaseCurrent() override;
    void ReleaseAll() override;
    HANDLE EnableGrab();
    void DisableGrab();
    bool Grabbing() const noexcept { return grabbing_.load(); }
    bool SetROI(int32_t width, int32_t height, int32_t xOffset, int32_t yOffset);
    // Lets the user choose another CHP file (the host's BrowseConfigurationFile); refused while
    // grabbing.
    void BrowseConfigurationFile();

    // Image queries.
    void GetImageFormat(long* width, long* height, long* third, long* fourth) const;
    int GetImageSize();
    int GetBitsPerPixel() const;
    int GetSignificantBits() const;
    int GetImageFormatCode() const;

    // One string under the module key; the list base writes it, for the configuration base too.
    LONG SetRegistryString(const char* text, const char* valueName) override;

    // The image format type, the value of the "Image Format" setting. A type outside 0..9 is
    // refused, and so is any change while grabbing.
    std::int32_t GetFormatType() override;
    void SetFormatType(std::int32_t type) override;

    // The board's analogue controls. The six mode values are read from the board each time, and a
    // change is applied to the board and, once the board took it, written into the CHP file; the
    // four parameters live on the board only.
    double GetBlackLevelValue() override;
    void SetBlackLevelValue(double value) override;
    double GetGainValue() override;
    void SetGainValue(double value) override;
    double GetPhaseValue() override;
    void SetPhaseValue(double value) override;
    long GetHorizontalPositionValue() override;
    void SetHorizontalPositionValue(long value) override;
    double GetVerticalPositionValue() override;
    void SetVerticalPositionValue(double value) override;
    long GetPixelClockValue() override;
    void SetPixelClockValue(long value) override;
    long GetBrightnessValue() override;
    void SetBrightnessValue(long value) override;
    long GetContrastValue() override;
    void SetContrastValue(long value) override;
    long GetHueValue() override;
    void SetHueValue(long value) override;
    long GetSaturationValue() override;
    void SetSaturationValue(long value) override;
    // What tells the six mode values apart: record field and scale, apply code, call site, CHP key
    // and format, error message (defined beside the adjustments).
    struct ModeValue;
    // The model table entry of this board's type (14 for any type not listed).
    int GetModelIndex();

    // Lets the board balance its colours, shows the result and asks the user whether to keep it;
    // kept, the calibration goes into the CHP file, otherwise the board goes back to the original.
    void AutoWhiteBalance();
    // Writes the calibration of `record` into `file` for this board; false when `file` is null.
    bool SaveColorCalibration(WhiteBalanceRecord record, const char* file);

    // What the card set up, for the component object and for tests. The board, the mode and the
    // image size are reported by the board and configuration bases.
    int32_t ImageFormatType() const { return imageFormatType_; }
    void SetImageFormatType(int32_t type) { imageFormatType_ = type; }
    int BufferCount() const { return pixelBlocks_.Count(); }
    void* const* PixelBuffers() const { return pixelBlocks_.Addresses(); }
    const StreamParameters& CurrentStreamParameters() const { return streamParameters_; }

protected:
    // The settings list ("Image Format", id 10, the nine listed formats), rebuilt whole.
    void RebuildSettings() override;
    // Applies the region and the format saved under the module key; last in the open sequence.
    virtual void LoadRegistrySettings();
    // The adjustment registry, rebuilt with the settings: seven adjustments, ten for a "DVI to VGA"
    // cable, whose analogue front end has black level, gain and phase.
    virtual void InitAdjustments();

private:
    // The host calls that replace pixel blocks or the board's mode, and a second start: refused
    // while grabbing, each with a text that names it.
    enum class ControlCall {
        EnableGrab,
        SetROI,
        ImageFormat,
        AllocateBuffers,
        FreeBuffers,
        ReallocateBuffers,
        BrowseConfigurationFile,
    };
    static const char* CallName(ControlCall call);
    // Raises the illegal-call exception for `call` while grabbing.
    void RefuseWhileGrabbing(ControlCall call) const;
    // Takes the control lock for a call that needs grabbing stopped: refuses it while grabbing and
    // first closes a stream the board would not close at the last stop.
    std::unique_lock<orvane::CriticalSection> BeginStoppedCall(ControlCall call);
    [[noreturn]] void RaiseBoardFailure(const std::string& what, WORD status) const;

    // The stream (stream gate held exclusively unless said otherwise).
    void OpenStream();  // takes the gate itself; raises when the stream cannot open
    void CollectFilledBuffers();
    // False when the board refused to close a stream it had opened: it is kept as it is.
    bool CloseStream(const char* failureLine);
    void CloseLeftoverStream(ControlCall call);  // takes the gate itself; raises when it stays open
    void AbandonStream();                        // takes the gate itself
    void ForgetDescriptors();
    void CloseFrameEvent();
    void PrepareStreamParameters();
    // The capture thread's part for one filled buffer: false when no image took it (counted).
    bool TakeFilledBuffer(BufferDescriptor* descriptor);
    // Stream gate held shared: hands a descriptor back to the open stream (none: nothing to do).
    void GiveBufferBack(BufferDescriptor* descriptor);
    // Stores the value scaled into the record, applies it and, once the board took it, writes it.
    void SetModeValue(const ModeValue& what, double value);
    long GetBoardParameter(const char* name, int site);
    void SetBoardParameter(const char* name, long value, int site);
    // Waits for the capture thread to end and forgets it; false when it is still running.
    bool JoinCaptureThread(DWORD milliseconds);
    static DWORD WINAPI CaptureThreadProc(LPVOID card);
    void CaptureLoop();

    int32_t furtherWords_[2] = {0, 0};
    int32_t imageSize_ = 0;
    int32_t imageFormatType_ = 6;
    WORD streamOpenStatus_ = 0;
    // The record the open stream was opened with, and the buffer array it points to: the board
    // knows the stream by them, so both stay unchanged until it is closed.
    StreamParameters streamParameters_{};
    std::vector<BYTE*> streamBuffers_;

    CPixelBlocks pixelBlocks_;
    std::atomic<BufferDescriptor*> currentDescriptor_{nullptr};  // written by the capture thread alone
    std::atomic<bool> running_{false};
    HANDLE captureThread_ = nullptr;
    HANDLE frameEvent_ = nullptr;

    // One host control call at a time (EnableGrab, DisableGrab and the calls of ControlCall).
    orvane::CriticalSection controlLock_;
    // True from a successful EnableGrab to the DisableGrab after it.
    std::atomic<bool> grabbing_{false};
    // Orders giving buffers back against opening and closing the stream (GrabControl.cpp).
    orvane::ReaderWriterLock streamGate_;
    // Written with the stream gate held exclusively, read with it held: a stream is open (also
    // one the board would not close), the mode it was opened on, and the last refused close.
    bool streamOpen_ = false;
    DWORD streamMode_ = 0;
    WORD lastCloseStatus_ = 0;
    // The board's frame number of the last frame taken, -1 at the start of a stream.
    std::atomic<std::int64_t> lastFrameNumber_{-1};
    // ReleaseAll's descriptors, reserved for every image when buffers are allocated.
    orvane::CriticalSection releaseScratchLock_;
    std::vector<BufferDescriptor*> releaseScratch_;
};
