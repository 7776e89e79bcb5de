#include "config/HidPageRules.h"

#include "config/DeviceFeatures.h"

#include <algorithm>

namespace veltra {

namespace {

constexpr int kDefaultCycleTimeMs = 1000;
constexpr int kDefaultTimeoutMs = 500;

CheckResult rangeFailure(CheckField field) {
    return CheckFailure{kStrIntegerRange, field, kMinTimeMs, kMaxTimeMs};
}

void appendCharacter(std::string& text, std::uint8_t c, bool blankWhenEmpty) {
    if (c == 0) {
        if (blankWhenEmpty) {
            text += ' ';
        }
        return;
    }
    text += static_cast<char>(c);
    if (c == '&') {
        text += '&';
    }
}

} // namespace

int hidShownMode(int mode) {
    return mode == 2 || mode == 3 ? mode : 0;
}

HidBlockResult hidValuesFromBlock(const Bytes& block, int powerOnValue, HidPageValues& values) {
    HidBlockResult result;
    if (block.size() < 4) {
        return result;
    }
    result.taken = true;
    values.mode = hidShownMode(block[0] & 0x0F);
    values.sensorOutput = (block[0] & 0x10) != 0;
    values.cycleTimeMs = block[1] * 100;
    const std::uint8_t timeout = block[3];
    values.timeoutMs = timeout == 0 || (timeout & 0x80) != 0 ? kDefaultTimeoutMs : timeout * 100;
    values.powerOnIndex = std::min(powerOnValue & 3, 2);
    result.failure = checkHidValues(values);
    if (result.failure) {
        values.mode = 0;
        values.cycleTimeMs = kDefaultCycleTimeMs;
        values.timeoutMs = kDefaultTimeoutMs;
    }
    return result;
}

HidPageValues hidValuesFromParameters(const ReaderParameters& parameters) {
    HidPageValues values;
    values.mode = hidShownMode(static_cast<int>(parameters.mode()));
    values.sensorOutput = parameters.sensorDataOutput();
    values.cycleTimeMs = parameters.cycleTimeMs;
    values.timeoutMs = parameters.timeoutMs;
    values.powerOnIndex =
        parameters.powerOnMode >= 0 && parameters.powerOnMode <= 2 ? parameters.powerOnMode : -1;
    return values;
}

ReaderParameters hidParameters(const HidPageValues& values) {
    ReaderParameters p;
    p.operatingMode =
        static_cast<std::uint8_t>(hidShownMode(values.mode) | (values.sensorOutput ? 0x10 : 0));
    p.cycleTimeMs = values.cycleTimeMs;
    p.timeoutMs = values.timeoutMs;
    p.powerOnMode = static_cast<std::int8_t>(values.powerOnIndex);
    p.prompt = '?';
    p.baudRate = 19200;
    return p;
}

CheckResult checkHidValues(const HidPageValues& values) {
    if (values.cycleTimeMs < kMinTimeMs || values.cycleTimeMs > kMaxTimeMs) {
        return rangeFailure(CheckField::CycleTime);
    }
    if (values.timeoutMs < kMinTimeMs || values.timeoutMs > kMaxTimeMs) {
        return rangeFailure(CheckField::Timeout);
    }
    return std::nullopt;
}

HidPageControls hidPageControls(int mode, std::uint32_t features) {
    HidPageControls c;
    const bool powerOn = (features & feature::PowerOnMode) != 0;
    c.mode2 = (features & feature::SensorInput) != 0;
    c.programmingMode = powerOn;
    c.readerMode = powerOn;
    c.readerModeSilent = powerOn && (features & feature::ReaderModeSilent) != 0;
    c.cycleTime = mode == 3;
    c.timeout = !c.cycleTime;
    return c;
}

std::string keyButtonText(const KeyLayout& layout, int scanCode) {
    const auto& entry = layout.entries.at(static_cast<std::size_t>(scanCode));
    std::string text;
    appendCharacter(text, entry[KeyLayout::Shift], true);
    text += '\n';
    appendCharacter(text, entry[KeyLayout::Normal], true);
    text += '\t';
    appendCharacter(text, entry[KeyLayout::AltGr], false);
    return text;
}

} // namespace veltra
