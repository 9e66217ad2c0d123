// eHD_ReadConfigFile: reads a CHP profile (INI) with the platform's profile functions into a
// mode record. Key names and value forms: profiles/README.md.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "interfaces/BoardLibrary.h"
#include "simboard/SimState.h"

namespace simboard {

namespace {

constexpr const char* kSection = "ORVANEHD";
constexpr const char* kRgbSection = "O-RGB";
constexpr const char* kMissing = "\x01<missing>";

// Limits of the simulated board (inclusive).
constexpr long long kMinHorizontalTotal = 16, kMaxHorizontalTotal = 16383;
constexpr long long kMinVerticalTotal = 2, kMaxVerticalTotal = 8191;
constexpr long long kMinHorizontalFrequency = 5000, kMaxHorizontalFrequency = 150000;
constexpr long long kMinBackSync = 4, kMaxBackSync = 8191;
constexpr long long kMaxBackPorchTenths = 40950;
constexpr long long kMaxPhaseTenths = 1275;
constexpr long long kMinImageWidth = 4, kMinImageHeight = 1;
constexpr long long kCalibrationLimit = 255;

const char* const kCalibrationKeys[6] = {"RED_GAIN_CALIB",   "GREEN_GAIN_CALIB",   "BLUE_GAIN_CALIB",
                                         "RED_OFFSET_CALIB", "GREEN_OFFSET_CALIB", "BLUE_OFFSET_CALIB"};

std::string Trim(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

int DecimalsOf(long long scale)
{
    int n = 0;
    while (scale >= 10) {
        scale /= 10;
        ++n;
    }
    return n;
}

}  // namespace

// "[-+]digits[.digits]", blanks around allowed -> value x scale (1, 10, 10000), rounded half away
// from zero. Used for every numeric key.
bool ParseScaled(const std::string& raw, long long scale, long long& out)
{
    const std::string text = Trim(raw);
    const int decimals = DecimalsOf(scale);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long long whole = 0;
    size_t wholeDigits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (++wholeDigits > 12) {
            return false;
        }
        whole = whole * 10 + (text[i] - '0');
        ++i;
    }
    std::string fractionDigits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            fractionDigits += text[i];
            ++i;
        }
    }
    if (i != text.size() || (wholeDigits == 0 && fractionDigits.empty())) {
        return false;
    }
    long long fraction = 0;
    for (int d = 0; d < decimals; ++d) {
        fraction = fraction * 10 + (static_cast<size_t>(d) < fractionDigits.size() ? fractionDigits[static_cast<size_t>(d)] - '0' : 0);
    }
    const bool roundUp = fractionDigits.size() > static_cast<size_t>(decimals) && fractionDigits[static_cast<size_t>(decimals)] >= '5';
    const long long value = whole * scale + fraction + (roundUp ? 1 : 0);
    out = negative ? -value : value;
    return true;
}

// Fixed-point value as text: FormatScaled(12346, 4) = "1.2346".
std::string FormatScaled(long long value, int decimals)
{
    long long scale = 1;
    for (int d = 0; d < decimals; ++d) {
        scale *= 10;
    }
    const long long magnitude = value < 0 ? -value : value;
    char text[48];
    if (decimals == 0) {
        std::snprintf(text, sizeof text, "%lld", value);
    } else {
        std::snprintf(text, sizeof text, "%s%lld.%0*lld", value < 0 ? "-" : "", magnitude / scale, decimals, magnitude % scale);
    }
    return text;
}

namespace {

class ProfileReader {
public:
    explicit ProfileReader(std::string file) : file_(std::move(file)) {}

    // Value of a key with blanks trimmed; false when the key is absent.
    bool Read(const char* section, const char* key, std::string& value) const
    {
        char buffer[512] = {};
        GetPrivateProfileStringA(section, key, kMissing, buffer, sizeof buffer, file_.c_str());
        if (std::strcmp(buffer, kMissing) == 0) {
            return false;
        }
        value = Trim(buffer);
        return true;
    }

    bool HasSection(const char* section) const
    {
        std::vector<char> names(65536, '\0');
        const DWORD n = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), file_.c_str());
        for (size_t at = 0; at < n && names[at] != '\0';) {
            const char* name = &names[at];
            if (lstrcmpiA(name, section) == 0) {
                return true;
            }
            at += std::strlen(name) + 1;
        }
        return false;
    }

private:
    std::string file_;
};

struct Reading {
    WORD status = OHD_OK;
    std::string detail;      // error, or the list of adjustments
    int32_t adjusted = 0;

    void Adjust(int32_t field, const std::string& what)
    {
        adjusted |= field;
        if (!detail.empty()) {
            detail += "; ";
        }
        detail += what;
    }
    WORD Fail(WORD failure, const std::string& what)
    {
        status = failure;
        detail = what;
        return failure;
    }
};

std::string Quoted(const char* key) { return std::string("\"") + key + "\""; }

// A required timing value: missing or not a number fails the file.
bool RequiredTiming(const ProfileReader& reader, const char* key, long long scale, long long& value, Reading& reading)
{
    std::string text;
    if (!reader.Read(kSection, key, text)) {
        reading.Fail(OHD_ERR_CHP_BAD_TIMING, Quoted(key) + " missing in [ORVANEHD]");
        return false;
    }
    if (!ParseScaled(text, scale, value)) {
        reading.Fail(OHD_ERR_CHP_BAD_TIMING, Quoted(key) + " = \"" + text + "\" is not a number");
        return false;
    }
    return true;
}

// An optional value clamped to [low, high]; missing gives the default silently, a bad or out of
// range value is adjusted (status 535).
long long OptionalClamped(const ProfileReader& reader, const char* section, const char* key, long long scale,
                          long long low, long long high, long long fallback, int32_t field, Reading& reading)
{
    const int decimals = DecimalsOf(scale);
    std::string text;
    if (!reader.Read(section, key, text)) {
        return fallback;
    }
    long long value = 0;
    if (!ParseScaled(text, scale, value)) {
        reading.Adjust(field, Quoted(key) + " = \"" + text + "\" is not a number, using " + FormatScaled(fallback, decimals));
        return fallback;
    }
    if (value < low || value > high) {
        const long long clamped = value < low ? low : high;
        reading.Adjust(field, Quoted(key) + " " + FormatScaled(value, decimals) + " clamped to " + FormatScaled(clamped, decimals));
        return clamped;
    }
    return value;
}

bool ParseCable(const std::string& text, int32_t& cable)
{
    if (lstrcmpiA(text.c_str(), "DVI to BNC") == 0 || text == "0") {
        cable = OHD_CABLE_DVI_TO_BNC;
    } else if (lstrcmpiA(text.c_str(), "DVI to VGA") == 0 || text == "1") {
        cable = OHD_CABLE_DVI_TO_VGA;
    } else if (lstrcmpiA(text.c_str(), "DVI to DVI") == 0 || text == "2") {
        cable = OHD_CABLE_DVI_TO_DVI;
    } else {
        return false;
    }
    return true;
}

// Reads and checks the whole file; fills `mode` only when the file is accepted.
WORD ReadProfile(const char* path, const std::string& serial, const ModelTableEntry& model, WORD boardIndex,
                 ModeRecord& mode, Reading& reading)
{
    if (path[0] == '\0') {
        return reading.Fail(OHD_ERR_CHP_MISSING, "empty path");
    }
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        return reading.Fail(OHD_ERR_CHP_MISSING, std::string("invalid or too long path: ") + path);
    }
    const DWORD attributes = GetFileAttributesA(full);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
            error == ERROR_BAD_PATHNAME || error == ERROR_INVALID_DRIVE || error == ERROR_BAD_NETPATH) {
            return reading.Fail(OHD_ERR_CHP_MISSING, full);
        }
        return reading.Fail(OHD_ERR_CHP_UNREADABLE, std::string(full) + " (error " + std::to_string(error) + ")");
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return reading.Fail(OHD_ERR_CHP_UNREADABLE, std::string(full) + " is a folder");
    }
    HANDLE file = CreateFileA(full, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return reading.Fail(OHD_ERR_CHP_UNREADABLE, std::string(full) + " (error " + std::to_string(GetLastError()) + ")");
    }
    CloseHandle(file);

    const ProfileReader reader(full);
    if (!reader.HasSection(kSection)) {
        return reading.Fail(OHD_ERR_CHP_UNREADABLE, std::string(full) + " has no [ORVANEHD] section");
    }

    // Timing.
    long long horizontalTotal = 0, horizontalFrequency = 0, backSync = 0, verticalTotal = 0, backPorch = 0;
    if (!RequiredTiming(reader, "Horizontal Total", 1, horizontalTotal, reading) ||
        !RequiredTiming(reader, "Horizontal Frequency", 1, horizontalFrequency, reading) ||
        !RequiredTiming(reader, "Horizontal Back Sync", 1, backSync, reading) ||
        !RequiredTiming(reader, "Vertical Total", 1, verticalTotal, reading) ||
        !RequiredTiming(reader, "Vertical Back Porch", 10, backPorch, reading)) {
        return reading.status;
    }
    if (horizontalTotal < kMinHorizontalTotal || horizontalTotal > kMaxHorizontalTotal) {
        return reading.Fail(OHD_ERR_CHP_BAD_TIMING, "\"Horizontal Total\" " + std::to_string(horizontalTotal) + " outside " +
                                                        std::to_string(kMinHorizontalTotal) + ".." + std::to_string(kMaxHorizontalTotal));
    }
    if (verticalTotal < kMinVerticalTotal || verticalTotal > kMaxVerticalTotal) {
        return reading.Fail(OHD_ERR_CHP_BAD_TIMING, "\"Vertical Total\" " + std::to_string(verticalTotal) + " outside " +
                                                        std::to_string(kMinVerticalTotal) + ".." + std::to_string(kMaxVerticalTotal));
    }
    if (horizontalFrequency <= 0) {
        return reading.Fail(OHD_ERR_CHP_BAD_TIMING, "\"Horizontal Frequency\" " + std::to_string(horizontalFrequency) + " is not positive");
    }
    if (horizontalFrequency < kMinHorizontalFrequency || horizontalFrequency > kMaxHorizontalFrequency) {
        const long long clamped = horizontalFrequency < kMinHorizontalFrequency ? kMinHorizontalFrequency : kMaxHorizontalFrequency;
        reading.Adjust(OHD_ADJ_HORIZONTAL_FREQUENCY, "\"Horizontal Frequency\" " + std::to_string(horizontalFrequency) +
                                                         " clamped to " + std::to_string(clamped));
        horizontalFrequency = clamped;
    }
    if (backSync < kMinBackSync || backSync > kMaxBackSync) {
        const long long clamped = backSync < kMinBackSync ? kMinBackSync : kMaxBackSync;
        reading.Adjust(OHD_ADJ_HORIZONTAL_BACK_SYNC, "\"Horizontal Back Sync\" " + std::to_string(backSync) + " clamped to " +
                                                         std::to_string(clamped));
        backSync = clamped;
    }
    if (backPorch < 0 || backPorch > kMaxBackPorchTenths) {
        const long long clamped = backPorch < 0 ? 0 : kMaxBackPorchTenths;
        reading.Adjust(OHD_ADJ_VERTICAL_BACK_PORCH, "\"Vertical Back Porch\" " + FormatScaled(backPorch, 1) + " clamped to " +
                                                        FormatScaled(clamped, 1));
        backPorch = clamped;
    }
    if (backSync >= horizontalTotal) {
        return reading.Fail(OHD_ERR_CHP_BAD_TIMING, "\"Horizontal Back Sync\" " + std::to_string(backSync) +
                                                        " leaves no active pixels in \"Horizontal Total\" " + std::to_string(horizontalTotal));
    }
    if (backPorch / 10 >= verticalTotal) {
        return reading.Fail(OHD_ERR_CHP_BAD_TIMING, "\"Vertical Back Porch\" " + FormatScaled(backPorch, 1) +
                                                        " leaves no active lines in \"Vertical Total\" " + std::to_string(verticalTotal));
    }

    // Active size.
    const long long maxWidth = horizontalTotal - backSync;
    const long long maxHeight = verticalTotal - backPorch / 10;
    long long size[2] = {maxWidth, maxHeight};
    const char* const sizeKeys[2] = {"Image Width", "Image Height"};
    const long long minimum[2] = {kMinImageWidth, kMinImageHeight};
    const long long maximum[2] = {maxWidth, maxHeight};
    const int32_t sizeFields[2] = {OHD_ADJ_IMAGE_WIDTH, OHD_ADJ_IMAGE_HEIGHT};
    const char* const limits[2] = {"\"Horizontal Total\" - \"Horizontal Back Sync\" = ", "\"Vertical Total\" - \"Vertical Back Porch\" = "};
    for (int k = 0; k < 2; ++k) {
        std::string text;
        if (!reader.Read(kSection, sizeKeys[k], text)) {
            reading.Adjust(sizeFields[k], Quoted(sizeKeys[k]) + " missing, using " + std::to_string(maximum[k]));
            continue;
        }
        long long value = 0;
        if (!ParseScaled(text, 1, value) || value < minimum[k]) {
            return reading.Fail(OHD_ERR_CHP_ACTIVE_TOO_LARGE, Quoted(sizeKeys[k]) + " = \"" + text + "\" is not a size of at least " +
                                                                  std::to_string(minimum[k]));
        }
        if (value > maximum[k]) {
            return reading.Fail(OHD_ERR_CHP_ACTIVE_TOO_LARGE, Quoted(sizeKeys[k]) + " " + std::to_string(value) + " is larger than " +
                                                                  limits[k] + std::to_string(maximum[k]));
        }
        size[k] = value;
    }

    // Cable.
    int32_t cable = 0;
    {
        std::string text;
        if (!reader.Read(kSection, "Cable Type", text)) {
            return reading.Fail(OHD_ERR_CHP_UNKNOWN_CABLE, "\"Cable Type\" missing in [ORVANEHD]");
        }
        if (!ParseCable(text, cable)) {
            return reading.Fail(OHD_ERR_CHP_UNKNOWN_CABLE, "\"Cable Type\" = \"" + text +
                                                               "\" (known: \"DVI to BNC\", \"DVI to VGA\", \"DVI to DVI\")");
        }
    }

    // Analogue front end, pixel mode, colour calibration.
    const long long gain = OptionalClamped(reader, kSection, "Gain", 10000, model.gainMin, model.gainMax,
                                           10000 < model.gainMin ? model.gainMin : (10000 > model.gainMax ? model.gainMax : 10000),
                                           OHD_ADJ_GAIN, reading);
    const long long blackLevel = OptionalClamped(reader, kSection, "Black Level", 10000, model.blackLevelMin, model.blackLevelMax,
                                                 model.blackLevelMin > 0 ? model.blackLevelMin : 0, OHD_ADJ_BLACK_LEVEL, reading);
    const long long phase = OptionalClamped(reader, kSection, "Phase Delay", 10, 0, kMaxPhaseTenths, 0, OHD_ADJ_PHASE, reading);
    int32_t pixelMode = 0;
    {
        std::string text;
        if (reader.Read(kRgbSection, "PixelMode", text)) {
            if (lstrcmpiA(text.c_str(), "MONO") == 0) {
                pixelMode = 1;
            } else if (lstrcmpiA(text.c_str(), "RGB") != 0) {
                reading.Adjust(OHD_ADJ_PIXEL_MODE, "\"PixelMode\" = \"" + text + "\" unknown, using RGB");
            }
        }
    }
    int32_t calibration[6] = {};
    const std::string calibrationSection = "O-RGB Calibration " + serial;
    for (int k = 0; k < 6; ++k) {
        calibration[k] = static_cast<int32_t>(OptionalClamped(reader, calibrationSection.c_str(), kCalibrationKeys[k], 1,
                                                              -kCalibrationLimit, kCalibrationLimit, 0, OHD_ADJ_CALIBRATION, reading));
    }
    std::string description;
    reader.Read(kSection, "Description", description);

    std::memset(&mode, 0, sizeof mode);
    mode.signature = kOhdModeSignature;
    mode.recordSize = sizeof(ModeRecord);
    mode.boardIndex = boardIndex;
    mode.pixelMode = pixelMode;
    mode.verticalFrequencyMilliHz = static_cast<int32_t>(horizontalFrequency * 1000 / verticalTotal);
    mode.pixelClockKHz = static_cast<int32_t>(horizontalTotal * horizontalFrequency / 1000);
    mode.adjustedFields = reading.adjusted;
    mode.verticalTotal = static_cast<int32_t>(verticalTotal);
    mode.verticalBackPorchTenths = static_cast<int32_t>(backPorch);
    mode.activeLines = static_cast<int32_t>(size[1]);
    mode.cableType = cable;
    mode.horizontalFrequency = static_cast<int32_t>(horizontalFrequency);
    mode.horizontalTotal = static_cast<int32_t>(horizontalTotal);
    mode.horizontalBackSync = static_cast<int32_t>(backSync);
    mode.activePixels = static_cast<int32_t>(size[0]);
    mode.gain = static_cast<int32_t>(gain);
    mode.blackLevel = static_cast<int32_t>(blackLevel);
    std::memcpy(mode.colourCalibration, calibration, sizeof calibration);
    const ColourRegisters registers = RegistersFromCalibration(calibration);
    std::memcpy(mode.colourRegisters, registers.data(), registers.size());
    mode.phaseTenths = static_cast<int32_t>(phase);
    CopyText(mode.description, sizeof mode.description, description);
    CopyText(mode.sourceFile, sizeof mode.sourceFile, full);
    reading.status = reading.adjusted != 0 ? static_cast<WORD>(OHD_CHP_ADJUSTED) : static_cast<WORD>(OHD_OK);
    return reading.status;
}

}  // namespace

}  // namespace simboard

using namespace simboard;

extern "C" WORD WINAPI eHD_ReadConfigFile(WORD boardIndex, const char* path, ModeRecord* mode, DWORD zero)
{
    return Guarded([&]() -> WORD {
        std::string serial;
        ModelTableEntry model{};
        {
            StateGuard guard;
            WORD injected = 0;
            if (EnterOperation(Op::ReadConfigFile, TheDevice().FindBoard(boardIndex), &injected)) {
                return injected;
            }
            if (path == nullptr || mode == nullptr) {
                return OHD_ERR_NULL_POINTER;
            }
            if (zero != 0) {
                return OHD_ERR_INVALID_ARGUMENT;
            }
            const Board* board = TheDevice().FindBoard(boardIndex);
            if (board == nullptr) {
                return OHD_ERR_UNKNOWN_BOARD;
            }
            if (!board->open) {
                return OHD_ERR_BOARD_NOT_OPEN;
            }
            serial = board->config.serial;
            model = TheModelTable().entries[ModelIndexForBoardType(board->config.type)];
        }
        // The file is read without holding the state lock.
        ModeRecord record{};
        Reading reading;
        const WORD status = ReadProfile(path, serial, model, boardIndex, record, reading);
        if (status == OHD_OK || status == OHD_CHP_ADJUSTED) {
            std::memcpy(mode, &record, sizeof record);
        }
        StateGuard guard;
        TheDevice().lastConfigStatus = status;
        TheDevice().lastConfigDetail = status == OHD_OK ? std::string() : reading.detail;
        return status;
    });
}
