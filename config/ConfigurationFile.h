#pragma once
// The CHP configuration file of the card: finding it (the remembered path or the open-file
// dialog), applying it to the board as its video mode, remembering it, and the writers that keep
// it in step with what the user changes. It holds what the file decides: the mode and the image
// size it gives.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "board/OrvaneBoard.h"
#include "interfaces/BoardLibrary.h"

class CConfigurationFile : public COrvaneBoard {
public:
    CConfigurationFile(const CConfigurationFile&) = delete;
    CConfigurationFile& operator=(const CConfigurationFile&) = delete;

    // Applies the file, or asks the user for one when it is null, empty or does not fit the board;
    // then remembers it and reallocates the buffers. Raises the message exception "Orvane -
    // Incompatible CHP file or no CHP file provided." when the user gives up without a usable file.
    // Unattended, no dialog is shown: where it would open, a composed message exception says why
    // a file was needed (none remembered, or the board library's text for the refused one).
    void LoadConfigFile(const char* path);
    // Reads the file into a new mode and applies it; false, and the mode in force kept, when the
    // board library refuses the file.
    bool ConfigureBoard(const char* path);
    void StoreBoardFile();
    static bool WriteProfileValue(const char* section, const char* key, const char* value, const char* file);
    static bool WriteImageSize(int width, int height, const char* file);
    int GetCableType();
    // Writes the pixel mode an image format type needs ("MONO" or "RGB" in section "O-RGB") and
    // applies the file again, when the file holds another (compared exactly); true when it did.
    bool SelectPixelMode(std::int32_t formatType);

    // With nobody to answer a window the file dialog is never shown. `boardFileValue` says where the
    // board file is remembered (the registry key and value), for the messages that replace it.
    void SetUnattended(bool unattended, std::string boardFileValue);
    bool Unattended() const { return unattended_; }

    const char* GetConfigurationFilePath() const { return configurationFilePath_.get(); }
    int32_t ImageSizeX() const { return imageSizeX_; }
    int32_t ImageSizeY() const { return imageSizeY_; }
    DWORD ModeHandle() const { return modeHandle_; }
    const ModeRecord& CurrentMode() const { return modeRecord_; }

protected:
    CConfigurationFile();
    virtual ~CConfigurationFile();

    // What the file handling needs from the card that owns it: new buffers for a new image size,
    // and the write of one string under the module key.
    virtual void ReallocateBuffers() = 0;
    virtual LONG SetRegistryString(const char* text, const char* valueName) = 0;

    int32_t imageSizeX_ = 0;
    int32_t imageSizeY_ = 0;
    DWORD modeHandle_ = 0;
    std::unique_ptr<char[]> configurationFilePath_;
    ModeRecord modeRecord_{};

private:
    // Where the dialog would open unattended: raises the reason instead. `refused` is the path
    // that the board library refused, or null when there was none to try.
    [[noreturn]] void RaiseUnattended(const char* refused) const;

    bool unattended_ = false;
    std::string boardFileValue_;
    WORD lastReadStatus_ = 0;  // of the last eHD_ReadConfigFile
};
