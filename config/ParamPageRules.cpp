#include "config/ParamPageRules.h"

#include "config/DeviceFeatures.h"

namespace veltra {

int setBaudIndexOf(int rate) {
    for (std::size_t i = 0; i < kSetBaudRates.size(); ++i) {
        if (kSetBaudRates[i] == rate) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

namespace {

// The rates the list keeps; every other rate shows as 19200.
int shownRate(int rate) {
    return rate == 2400 || rate == 4800 || rate == 9600 ? rate : 19200;
}

} // namespace

InterfaceSelection interfaceSelectionFor(int baudValue) {
    InterfaceSelection s;
    s.baudIndex = setBaudIndexOf(shownRate(baudRateOf(baudValue)));
    if (((baudValue % 100) & 0x80) != 0) {
        s.parityIndex = kKeepSelection;
        s.stopBitsIndex = kKeepSelection;
        return s;
    }
    const SerialFormat format = serialFormatFor(serialFormatCode(baudValue));
    switch (format.parity) {
    case Parity::None:
        s.parityIndex = 0;
        break;
    case Parity::Even:
        s.parityIndex = 1;
        break;
    case Parity::Odd:
        s.parityIndex = 2;
        break;
    }
    s.stopBitsIndex = format.stopBits == 2 ? 1 : 0;
    return s;
}

int baudValueFor(const InterfaceSelection& selection, int previousValue) {
    int rate = baudRateOf(previousValue);
    if (selection.baudIndex >= 0 && selection.baudIndex < static_cast<int>(kSetBaudRates.size())) {
        rate = kSetBaudRates[static_cast<std::size_t>(selection.baudIndex)];
    }
    int code = 0;
    switch (selection.parityIndex) {
    case 1:
        code = serialFormatCodeFor(Parity::Even, 1);
        break;
    case 2:
        code = serialFormatCodeFor(Parity::Odd, 1);
        break;
    default:
        if (selection.stopBitsIndex == 1) {
            code = serialFormatCodeFor(Parity::None, 2);
        } else if (selection.stopBitsIndex == 0 || selection.parityIndex == 0) {
            code = serialFormatCodeFor(Parity::None, 1);
        } else {
            code = serialFormatCode(previousValue);
        }
        break;
    }
    return rate + code;
}

bool interfaceLocksSerialSettings(std::string_view interfaceName) {
    return interfaceName.starts_with("USB: ");
}

ParamPageControls paramPageControls(const ParamPageState& state) {
    auto has = [&state](std::uint32_t bits) { return (state.features & bits) == bits; };
    ParamPageControls c;
    c.mode2Enabled = has(feature::SensorInput);
    c.mode5Enabled = has(feature::OperatingMode5);
    c.mode6Enabled = has(feature::OperatingMode6);
    c.programmingModeEnabled = has(feature::PowerOnMode);
    c.silentReaderModeEnabled = has(feature::PowerOnMode | feature::ReaderModeSilent);
    c.sensorDataVisible = has(feature::SensorData);
    c.timeoutEnabled = state.mode == 0 || state.mode == 2;
    c.cycleTimeEnabled = state.mode == 3;
    c.interfaceGroupVisible = has(feature::SerialInterface);
    c.setListsEnabled = !interfaceLocksSerialSettings(state.interfaceName);
    c.tcpGroupVisible = has(feature::TcpClient);
    c.tcpFieldsEnabled = c.tcpGroupVisible && state.tcpClientActive;
    c.dtrVisible = state.dtrSupported;
    return c;
}

ReaderParameters pageParameters(const ReaderParameters& parameters) {
    ReaderParameters p = parameters;
    p.baudRate = shownRate(baudRateOf(p.baudRate)) + serialFormatCode(p.baudRate);
    if (p.powerOnMode < 0 || p.powerOnMode > 2) {
        p.powerOnMode = -1;
    }
    p.dtrMode = p.dtrMode != 0 ? 1 : 0;
    return p;
}

std::string promptText(char prompt) {
    return prompt == 0 ? std::string() : std::string(1, prompt);
}

char promptFrom(std::string_view text) {
    return text.empty() ? '?' : text.front();
}

ReaderParameters acceptedParameters(const ReaderParameters& parameters) {
    ReaderParameters p = pageParameters(parameters);
    if (checkParameterValues(p)) {
        const ReaderParameters d = defaultReaderParameters();
        p.operatingMode = d.operatingMode;
        p.cycleTimeMs = d.cycleTimeMs;
        p.timeoutMs = d.timeoutMs;
        p.prompt = d.prompt;
        p.baudRate = d.baudRate;
    }
    return p;
}

CheckResult checkParameterValues(const ReaderParameters& parameters) {
    ParameterPageEntries e;
    e.prompt = promptText(parameters.prompt);
    e.cycleTimeMs = parameters.cycleTimeMs;
    e.timeoutMs = parameters.timeoutMs;
    if (CheckResult failure = checkParameterPage(e)) {
        return failure;
    }
    if (!parameters.remoteIp.empty()) {
        return checkServer(parameters.remoteIp, parameters.remotePort);
    }
    return std::nullopt;
}

CheckResult checkServer(std::string_view address, int port) {
    if (!isIpv4Address(address)) {
        return CheckFailure{kStrInvalidServerAddress, CheckField::ServerAddress};
    }
    if (port < 0 || port > kMaxServerPort) {
        return CheckFailure{kStrIntegerRange, CheckField::ServerPort, 0, kMaxServerPort};
    }
    return std::nullopt;
}

bool isIpv4Address(std::string_view text) {
    int parts = 0;
    std::size_t i = 0;
    while (true) {
        int value = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) {
            return false;
        }
        ++parts;
        if (i == text.size()) {
            return parts == 4;
        }
        if (text[i] != '.' || parts == 4) {
            return false;
        }
        ++i;
    }
}

} // namespace veltra
