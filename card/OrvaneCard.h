#pragma once
// The one object that stands for the frame-grabber board: it owns the board connection (through its
// board base), the pixel blocks and (through its list base) the images, and applies the CHP
// configuration file (through its configuration base).
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "adjustments/AdjustmentSupport.h"
#include "adjustments/TypedAdjustments.h"
#include "buffers/PixelBlocks.h"
#include "buffers/TripleList.h"
#include "config/ConfigurationFile.h"
#include "config/ImageFormatSetting.h"
#include "interfaces/BoardLibrary.h"
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

    // Buffers.
    void AllocateBuffers(int count) override;
    void ReallocateBuffers() override;
    bool AllocatePixelBuffers(int count);
    void FreePixelBuffers(int count);

    // Grabbing.
    bool GrabNext() override;
    void ReleaseCurrent() override;
    HANDLE EnableGrab();
    void DisableGrab();
    bool SetROI(int32_t width, int32_t height, int32_t xOffset, int32_t yOffset);

    // Image queries.
    void GetImageFormat(long* width, long* height, long* third, long* fourth) const;
    int GetImageSize();
    int GetBitsPerPixel() const;
    int GetSignificantBits() const;
    int GetImageFormatCode() const;

    // One string under the module key; the list base writes it, for the configuration base too.
    LONG SetRegistryString(const char* text, const char* valueName) override;

    // The image format type, the value of the "Image Format" setting.
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
    // Gives the board back the buffer of a frame the host is done with.
    void ImageLeavesReadyList(CImageWrapper& image) override;
    // The settings list ("Image Format", id 10, the nine listed formats), rebuilt whole.
    void RebuildSettings() override;
    // Applies the region and the format saved under the module key; last in the open sequence.
    virtual void LoadRegistrySettings();
    // The adjustment registry, rebuilt with the settings: seven adjustments, ten for a "DVI to VGA"
    // cable, whose analogue front end has black level, gain and phase.
    virtual void InitAdjustments();

private:
    void PrepareStreamParameters();
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
    StreamParameters streamParameters_{};

    CPixelBlocks pixelBlocks_;
    BufferDescriptor* currentDescriptor_ = nullptr;
    std::atomic<bool> running_{false};
    HANDLE captureThread_ = nullptr;
    HANDLE frameEvent_ = nullptr;
};
