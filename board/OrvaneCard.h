#pragma once
// The one object that stands for the frame-grabber board: it owns the board connection, the pixel
// blocks and (through its list base) the images, and applies the CHP configuration file.
#include <windows.h>
#include <oleauto.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "board/BoardLibrary.h"
#include "buffers/PixelBlocks.h"
#include "buffers/TripleList.h"

class COrvaneCard : public CTripleList {
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
    const char* GetConfigurationFilePath() const { return configurationFilePath_.get(); }

    // The CHP configuration file.
    void LoadConfigFile(const char* path);
    bool ConfigureBoard(const char* path);
    void StoreBoardFile();
    static bool WriteProfileValue(const char* section, const char* key, const char* value, const char* file);
    static bool WriteImageSize(int width, int height, const char* file);
    int GetCableType();

    // Logs a nonzero board status with its call-site number and hands it back unchanged.
    WORD ReportStatus(WORD status, int site) const;

    // What the card found and set up, for the component object and for tests.
    int32_t ImageSizeX() const { return imageSizeX_; }
    int32_t ImageSizeY() const { return imageSizeY_; }
    int32_t ImageFormatType() const { return imageFormatType_; }
    void SetImageFormatType(int32_t type) { imageFormatType_ = type; }
    WORD BoardIndex() const { return boardIndex_; }
    DWORD ModeHandle() const { return modeHandle_; }
    int BoardCount() const { return boardCount_; }
    int BufferCount() const { return pixelBlocks_.Count(); }
    void* const* PixelBuffers() const { return pixelBlocks_.Addresses(); }
    const char* SerialNumber() const { return serialNumber_.data(); }
    const ModeRecord& CurrentMode() const { return modeRecord_; }
    const StreamParameters& CurrentStreamParameters() const { return streamParameters_; }

protected:
    bool InitBoard();
    // Gives the board back the buffer of a frame the host is done with.
    void ImageLeavesReadyList(CImageWrapper& image) override;
    // Settings and saved geometry arrive with the settings feature; their places in the open
    // sequence are kept.
    virtual void RebuildSettings() {}
    virtual void LoadRegistrySettings() {}

private:
    void PrepareStreamParameters();
    // Waits for the capture thread to end and forgets it; false when it is still running.
    bool JoinCaptureThread(DWORD milliseconds);
    static DWORD WINAPI CaptureThreadProc(LPVOID card);
    void CaptureLoop();

    int32_t imageSizeX_ = 0;
    int32_t imageSizeY_ = 0;
    int32_t furtherWords_[2] = {0, 0};
    int32_t imageSize_ = 0;
    int32_t imageFormatType_ = 6;
    int32_t boardCount_ = 0;
    int32_t selectedBoard_ = 0;
    BoardList boardList_{};
    WORD boardIndex_ = 0;
    OpenRecord openRecord_{};
    WORD streamOpenStatus_ = 0;
    DWORD modeHandle_ = 0;
    StreamParameters streamParameters_{};
    std::unique_ptr<char[]> configurationFilePath_;
    ModeRecord modeRecord_{};
    std::array<char, 10> serialNumber_{};

    CPixelBlocks pixelBlocks_;
    BufferDescriptor* currentDescriptor_ = nullptr;
    std::atomic<bool> running_{false};
    HANDLE captureThread_ = nullptr;
    HANDLE frameEvent_ = nullptr;
};
