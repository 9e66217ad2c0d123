// The CHP configuration file: finding it (remembered path or the open-file dialog), applying it to
// the board, remembering it, and the writers that keep it in step with what the user changes.
#include "config/ConfigurationFile.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "platform/Diagnostics.h"
#include "platform/MessageException.h"

using orvane::RaiseMessage;
using orvane::Trace;
using orvane::TraceFormat;

namespace {

constexpr char kNoUsableFile[] = "Orvane - Incompatible CHP file or no CHP file provided.";
constexpr DWORD kPathSize = 260;

void CopyPath(char* destination, const char* source)
{
    std::snprintf(destination, kPathSize, "%s", source);
}

}  // namespace

CConfigurationFile::CConfigurationFile() : configurationFilePath_(std::make_unique<char[]>(kPathSize))
{
    std::memset(configurationFilePath_.get(), 0, kPathSize);
}

CConfigurationFile::~CConfigurationFile() = default;

void CConfigurationFile::SetUnattended(bool unattended, std::string boardFileValue)
{
    unattended_ = unattended;
    boardFileValue_ = std::move(boardFileValue);
}

void CConfigurationFile::RaiseUnattended(const char* refused) const
{
    std::string reason;
    if (refused != nullptr) {
        char text[256] = {};
        eHD_GetErrorText(lastReadStatus_, 255, text);
        text[sizeof text - 1] = '\0';
        reason = "Orvane - Unattended: the board file \"" + std::string(refused) + "\" (" + boardFileValue_ +
                 ") was refused: " + text;
    } else if (configurationFilePath_[0] == '\0') {
        reason = "Orvane - Unattended: no board file remembered (" + boardFileValue_ + ")";
    } else {
        reason = "Orvane - Unattended: no dialog is shown to choose a board file";
    }
    Trace(reason.c_str());
    orvane::RaiseComposedMessage(std::move(reason));
}

void CConfigurationFile::LoadConfigFile(const char* path)
{
    const char* refused = nullptr;
    if (path != nullptr) {
        Trace("Orvane - Loading required config file:");
        Trace(path);
        if (!ConfigureBoard(path)) {
            refused = path[0] != '\0' ? path : nullptr;
            path = nullptr;
        }
    }

    char fileName[kPathSize] = {};
    if (path == nullptr || path[0] == '\0') {
        if (unattended_) {
            RaiseUnattended(refused);
        }
        Trace("Orvane - Browsing for a compatible CHP:");
        OPENFILENAMEA dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = nullptr;
        dialog.lpstrFilter = "Config Files (*.chp)\0*.chp\0";
        dialog.lpstrCustomFilter = nullptr;
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = fileName;
        dialog.nMaxFile = kPathSize;
        dialog.lpstrInitialDir = nullptr;
        dialog.lpstrTitle = "Orvane - Find a compatible common hardware profile";
        dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        for (;;) {
            fileName[0] = '\0';
            if (GetOpenFileNameA(&dialog)) {
                Trace(fileName);
                if (ConfigureBoard(fileName)) {
                    break;
                }
                continue;  // that file does not fit the board: ask again
            }
            if (configurationFilePath_[0] == '\0') {
                RaiseMessage(kNoUsableFile);
            }
            Trace("Orvane - User cancelled, loading the previous config file");
            CopyPath(fileName, configurationFilePath_.get());
            if (!ConfigureBoard(fileName)) {
                RaiseMessage(kNoUsableFile);
            }
            break;
        }
        path = fileName;
    }

    CopyPath(configurationFilePath_.get(), path);
    StoreBoardFile();
    ReallocateBuffers();
}

bool CConfigurationFile::ConfigureBoard(const char* path)
{
    Trace("ConfigureBoard");
    // The library fills the record it is given even from a file it then refuses; reading into a
    // copy keeps the mode in force intact when the new file is rejected.
    ModeRecord candidate = modeRecord_;
    const WORD status = ReportStatus(eHD_ReadConfigFile(boardIndex_, path, &candidate, 0), 629);
    lastReadStatus_ = status;
    if (status != 0 && status != 535) {
        Trace("ConfigureBoard() - ERROR : Cannot read this file.");
        return false;
    }
    modeRecord_ = candidate;

    if (modeHandle_ != 0) {
        ReportStatus(eHD_ReleaseMode(boardIndex_), 638);
    }
    modeHandle_ = eHD_CreateMode(boardIndex_, 0, &modeRecord_);
    ReportStatus(eHD_SetMode(modeHandle_, &modeRecord_, 2), 642);

    imageSizeX_ = modeRecord_.activePixels & ~3;
    imageSizeY_ = modeRecord_.activeLines;
    TraceFormat("ImageSizeX = %d, ImageSizeY = %d", imageSizeX_, imageSizeY_);

    switch (GetCableType()) {
    case 0: Trace("Cable from .chp file : DVI to BNC"); break;
    case 1: Trace("Cable from .chp file : DVI to VGA"); break;
    case 2: Trace("Cable from .chp file : DVI to DVI"); break;
    default: Trace("Cable from .chp file : "); break;
    }

    ParameterBlock block{};
    block.value = 0xFFFFFFFFu;
    block.mode = &modeRecord_;
    eHD_GetParameter(boardIndex_, "ActiveMode", sizeof block, &block);
    block.value = (block.value & 0x10u) != 0 ? 1u : 0u;
    ReportStatus(eHD_SetParameter(boardIndex_, "ActiveMode", sizeof block, &block), 674);
    return true;
}

void CConfigurationFile::StoreBoardFile()
{
    SetRegistryString(configurationFilePath_.get(), "Board File");
}

bool CConfigurationFile::WriteProfileValue(const char* section, const char* key, const char* value, const char* file)
{
    if (section == nullptr || key == nullptr || file == nullptr) {
        return false;
    }
    if (WritePrivateProfileStringA(section, key, value != nullptr ? value : "", file) != FALSE) {
        return true;
    }
    // The board has the change by now (or is about to get it), the profile does not: the next load
    // would silently undo it. One line a tool can show the user.
    const DWORD error = GetLastError();
    TraceFormat("Orvane - profile not written: [%s] \"%s\" in %s (error %lu); the change is lost at the next load.",
                section, key, file, static_cast<unsigned long>(error));
    return false;
}

bool CConfigurationFile::WriteImageSize(int width, int height, const char* file)
{
    if (file == nullptr) {
        return false;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%d", width);
    if (!WriteProfileValue("ORVANEHD", "Image Width", text, file)) {
        return false;
    }
    std::snprintf(text, sizeof text, "%d", height);
    return WriteProfileValue("ORVANEHD", "Image Height", text, file);
}

int CConfigurationFile::GetCableType()
{
    eHD_GetMode(modeHandle_, &modeRecord_);
    return modeRecord_.cableType;
}
