#include "config/ui/CParamRegisterkarteSeriell.h"

#include "config/ConfigChecks.h"
#include "config/ui/SheetServices.h"
#include "keys/AnsiText.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <QValidator>

namespace veltra {
namespace {

QString parityText(Parity parity) {
    switch (parity) {
    case Parity::Even:
        return str(75318);
    case Parity::Odd:
        return str(75319);
    case Parity::None:
        break;
    }
    return str(75317);
}

// 8-bit text of a field (the reader's code page); characters it cannot hold count as '?'.
std::string ansiOf(const QString& text) {
    if (std::optional<std::string> ansi = utf8ToAnsi(text.toStdString())) {
        return *ansi;
    }
    return std::string(static_cast<std::size_t>(text.size()), '?');
}

QString textOfAnsi(const std::string& ansi) {
    return QString::fromStdString(ansiToUtf8(ansi));
}

QLineEdit* digitField(QWidget* parent, int digits) {
    auto* field = new QLineEdit(parent);
    field->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(digits)), field));
    field->setMaxLength(digits);
    return field;
}

// Accepts only text the reader's 8-bit code page can carry, so a typed prompt character is never
// replaced by another one on its way to the reader.
class AnsiValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return utf8ToAnsi(input.toStdString()) ? Acceptable : Invalid;
    }
};

} // namespace

CParamRegisterkarteSeriell::CParamRegisterkarteSeriell(std::uint32_t features, QWidget* parent)
    : QWidget(parent), features_(features) {
    setObjectName(QStringLiteral("paramPage"));
    auto* root = new QVBoxLayout(this);

    // Operating modes.
    auto* modeBox = new QGroupBox(str(75301), this);
    auto* modeLayout = new QVBoxLayout(modeBox);
    modeGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 7; ++i) {
        auto* radio = new QRadioButton(str(75302 + i), modeBox);
        radio->setObjectName(QStringLiteral("mode%1").arg(i));
        modeRadios_[static_cast<std::size_t>(i)] = radio;
        modeGroup_->addButton(radio, i);
        modeLayout->addWidget(radio);
    }
    modeRadios_[4]->setVisible(false); // mode 4 is not assigned
    sensorData_ = new QCheckBox(str(75309), modeBox);
    sensorData_->setObjectName(QStringLiteral("sensorData"));
    modeLayout->addWidget(sensorData_);
    root->addWidget(modeBox);

    // Prompt, cycle time and timeout.
    auto* values = new QGridLayout;
    prompt_ = new QLineEdit(this);
    prompt_->setObjectName(QStringLiteral("prompt"));
    prompt_->setValidator(new AnsiValidator(prompt_));
    prompt_->setMaximumWidth(prompt_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 6);
    cycleTime_ = digitField(this, 5);
    cycleTime_->setObjectName(QStringLiteral("cycleTime"));
    timeout_ = digitField(this, 5);
    timeout_->setObjectName(QStringLiteral("timeout"));
    const int timeWidth = cycleTime_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) +
                          cycleTime_->fontMetrics().height();
    cycleTime_->setMaximumWidth(timeWidth);
    timeout_->setMaximumWidth(timeWidth);
    values->addWidget(new QLabel(str(75310), this), 0, 0);
    values->addWidget(prompt_, 0, 1);
    values->addWidget(new QLabel(str(75328), this), 1, 0);
    values->addWidget(cycleTime_, 1, 1);
    values->addWidget(new QLabel(str(75330), this), 1, 2);
    values->addWidget(new QLabel(str(75329), this), 2, 0);
    values->addWidget(timeout_, 2, 1);
    values->addWidget(new QLabel(str(75330), this), 2, 2);
    values->setColumnStretch(3, 1);

    // Power-on configuration next to the values.
    auto* powerOnBox = new QGroupBox(str(75324), this);
    auto* powerOnLayout = new QVBoxLayout(powerOnBox);
    powerOnGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(str(75325 + i), powerOnBox);
        radio->setObjectName(QStringLiteral("powerOn%1").arg(i));
        powerOnRadios_[static_cast<std::size_t>(i)] = radio;
        powerOnGroup_->addButton(radio, i);
        powerOnLayout->addWidget(radio);
    }
    auto* middle = new QHBoxLayout;
    middle->addLayout(values, 1);
    middle->addWidget(powerOnBox);
    root->addLayout(middle);

    // Interface: current and new settings.
    interfaceGroup_ = new QGroupBox(str(75311), this);
    interfaceGroup_->setObjectName(QStringLiteral("interfaceGroup"));
    auto* grid = new QGridLayout(interfaceGroup_);
    grid->addWidget(new QLabel(str(75314), interfaceGroup_), 0, 1);
    grid->addWidget(new QLabel(str(75315), interfaceGroup_), 0, 2);
    grid->addWidget(new QLabel(str(75316), interfaceGroup_), 0, 3);
    grid->addWidget(new QLabel(str(75312), interfaceGroup_), 1, 0);
    for (std::size_t i = 0; i < current_.size(); ++i) {
        current_[i] = new QLineEdit(interfaceGroup_);
        current_[i]->setReadOnly(true);
        current_[i]->setFocusPolicy(Qt::NoFocus);
        current_[i]->setObjectName(QStringLiteral("current%1").arg(i));
        grid->addWidget(current_[i], 1, static_cast<int>(i) + 1);
    }
    grid->addWidget(new QLabel(str(75313), interfaceGroup_), 2, 0);
    setBaud_ = new QComboBox(interfaceGroup_);
    setBaud_->setObjectName(QStringLiteral("setBaud"));
    for (int rate : kSetBaudRates) {
        setBaud_->addItem(QString::number(rate));
    }
    setParity_ = new QComboBox(interfaceGroup_);
    setParity_->setObjectName(QStringLiteral("setParity"));
    setParity_->addItems({str(75317), str(75318), str(75319)});
    setStopBits_ = new QComboBox(interfaceGroup_);
    setStopBits_->setObjectName(QStringLiteral("setStopBits"));
    setStopBits_->addItems({QStringLiteral("1"), QStringLiteral("2")});
    grid->addWidget(setBaud_, 2, 1);
    grid->addWidget(setParity_, 2, 2);
    grid->addWidget(setStopBits_, 2, 3);
    for (int column = 1; column <= 3; ++column) {
        grid->setColumnStretch(column, 1);
    }
    root->addWidget(interfaceGroup_);

    // TCP client.
    tcpGroup_ = new QWidget(this);
    tcpGroup_->setObjectName(QStringLiteral("tcpGroup"));
    auto* tcp = new QHBoxLayout(tcpGroup_);
    tcp->setContentsMargins(0, 0, 0, 0);
    tcpActive_ = new QCheckBox(str(75320), tcpGroup_);
    tcpActive_->setObjectName(QStringLiteral("tcpActive"));
    addressLabel_ = new QLabel(str(75321), tcpGroup_);
    address_ = new QLineEdit(tcpGroup_);
    address_->setObjectName(QStringLiteral("address"));
    address_->setMaxLength(15);
    address_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9.]{0,15}")), address_));
    portLabel_ = new QLabel(str(75322), tcpGroup_);
    port_ = digitField(tcpGroup_, 5);
    port_->setObjectName(QStringLiteral("port"));
    port_->setMaximumWidth(timeWidth);
    tcp->addWidget(tcpActive_);
    tcp->addWidget(addressLabel_);
    tcp->addWidget(address_, 1);
    tcp->addWidget(portLabel_);
    tcp->addWidget(port_);
    root->addWidget(tcpGroup_);

    dtr_ = new QCheckBox(str(75323), this);
    dtr_->setObjectName(QStringLiteral("dtr"));
    root->addWidget(dtr_);
    root->addStretch(1);

    // Buttons.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    functionTest_ = new QPushButton(str(75331), this);
    functionTest_->setObjectName(QStringLiteral("functionTest"));
    readContents_ = new QPushButton(str(75332), this);
    readContents_->setObjectName(QStringLiteral("readContents"));
    buttons->addWidget(functionTest_);
    buttons->addWidget(readContents_);
    root->addLayout(buttons);

    connect(modeGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        mode_ = static_cast<unsigned>(id);
        applyRules();
    });
    connect(tcpActive_, &QCheckBox::toggled, this, [this] { applyRules(); });
    connect(sensorData_, &QCheckBox::toggled, this, [this] { applyRules(); });
    connect(functionTest_, &QPushButton::clicked, this, [this] {
        if (sheetServices().openFunctionTest) {
            sheetServices().openFunctionTest(this);
        }
    });
    connect(readContents_, &QPushButton::clicked, this, [this] {
        if (sheetServices().openReport) {
            sheetServices().openReport(this);
        }
    });

    refreshInterfaceName();
    ReaderParameters initial = defaultReaderParameters();
    fill(initial);
    markUnchanged();
}

QString CParamRegisterkarteSeriell::caption() {
    return str(75300);
}

void CParamRegisterkarteSeriell::refreshInterfaceName() {
    const SheetServices& services = sheetServices();
    interfaceName_ =
        services.interfaceName ? QString::fromStdString(services.interfaceName()) : QString();
    if (interfaceName_.isEmpty()) {
        interfaceName_ = QStringLiteral("COM1");
        if (services.storeInterfaceName) {
            services.storeInterfaceName(interfaceName_.toStdString());
        }
    }
    applyRules();
}

void CParamRegisterkarteSeriell::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshInterfaceName();
}

void CParamRegisterkarteSeriell::fill(const ReaderParameters& p) {
    mode_ = p.mode();
    if (mode_ < modeRadios_.size()) {
        modeRadios_[mode_]->setChecked(true);
    } else {
        // A mode the page has no radio for stays as it is and selects none.
        modeGroup_->setExclusive(false);
        for (QRadioButton* radio : modeRadios_) {
            radio->setChecked(false);
        }
        modeGroup_->setExclusive(true);
    }
    sensorData_->setChecked(p.sensorDataOutput());
    cycleTime_->setText(QString::number(p.cycleTimeMs));
    prompt_->setText(textOfAnsi(promptText(p.prompt)));
    timeout_->setText(QString::number(p.timeoutMs));
    dtr_->setChecked(p.dtrMode != 0);
    if (p.powerOnMode != -1) {
        selectPowerOnMode(p.powerOnMode);
    }
    baudValue_ = p.baudRate;
    setSelection(interfaceSelectionFor(p.baudRate));
    tcpActive_->setChecked(!p.remoteIp.empty());
    address_->setText(QString::fromStdString(p.remoteIp));
    port_->setText(QString::number(p.remotePort));
    applyRules();
}

void CParamRegisterkarteSeriell::applyDefaults() {
    const ReaderParameters d = defaultReaderParameters();
    ReaderParameters p = parameters();
    p.operatingMode = d.operatingMode;
    p.cycleTimeMs = d.cycleTimeMs;
    p.timeoutMs = d.timeoutMs;
    p.prompt = d.prompt;
    p.baudRate = d.baudRate;
    fill(p);
}

bool CParamRegisterkarteSeriell::setParameters(const ReaderParameters& parameters,
                                               bool dtrSupported) {
    dtrSupported_ = dtrSupported;
    fill(parameters);
    const bool accepted = !checkParameterValues(this->parameters()).has_value();
    if (!accepted) {
        applyDefaults();
    }
    markUnchanged();
    return accepted;
}

void CParamRegisterkarteSeriell::setDefaults() {
    applyDefaults();
    markUnchanged();
}

void CParamRegisterkarteSeriell::setSelection(const InterfaceSelection& s) {
    const std::pair<QComboBox*, int> lists[] = {
        {setBaud_, s.baudIndex}, {setParity_, s.parityIndex}, {setStopBits_, s.stopBitsIndex}};
    for (const auto& [list, index] : lists) {
        if (index != kKeepSelection) {
            list->setCurrentIndex(index);
        }
    }
}

InterfaceSelection CParamRegisterkarteSeriell::selection() const {
    return {setBaud_->currentIndex(), setParity_->currentIndex(), setStopBits_->currentIndex()};
}

ReaderParameters CParamRegisterkarteSeriell::parameters() const {
    ReaderParameters p;
    p.operatingMode =
        static_cast<std::uint8_t>((mode_ & 0x0F) | (sensorData_->isChecked() ? 0x10 : 0));
    p.cycleTimeMs = fieldValue(cycleTime_->text().toStdString());
    p.timeoutMs = fieldValue(timeout_->text().toStdString());
    p.prompt = promptFrom(ansiOf(prompt_->text()));
    p.powerOnMode = static_cast<std::int8_t>(powerOnGroup_->checkedId());
    p.dtrMode = dtr_->isChecked() ? 1 : 0;
    p.baudRate = baudValueFor(selection(), baudValue_);
    if (tcpActive_->isChecked()) {
        p.remoteIp = address_->text().toStdString();
        p.remotePort = fieldValue(port_->text().toStdString());
    }
    return p;
}

void CParamRegisterkarteSeriell::focusField(QLineEdit* field) {
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

bool CParamRegisterkarteSeriell::takeOver(ReaderParameters& out) {
    ParameterPageEntries entries;
    entries.prompt = ansiOf(prompt_->text());
    entries.cycleTimeMs = fieldValue(cycleTime_->text().toStdString());
    entries.timeoutMs = fieldValue(timeout_->text().toStdString());
    if (const CheckResult failure = checkParameterPage(entries)) {
        messageBox().show(this, failure->message(), IMessageBox::Kind::Warning);
        switch (failure->field) {
        case CheckField::CycleTime:
            focusField(cycleTime_);
            break;
        case CheckField::Timeout:
            focusField(timeout_);
            break;
        default:
            focusField(prompt_);
            break;
        }
        return false;
    }
    if (tcpActive_->isChecked()) {
        if (const CheckResult failure = checkServer(address_->text().toStdString(),
                                                    fieldValue(port_->text().toStdString()))) {
            messageBox().show(this, failure->message(), IMessageBox::Kind::Warning);
            focusField(failure->field == CheckField::ServerPort ? port_ : address_);
            return false;
        }
    }
    out = parameters();
    return true;
}

void CParamRegisterkarteSeriell::showCurrentInterface(int baudCode) {
    const SerialFormat format = serialFormatFor(serialFormatCode(baudCode));
    current_[0]->setText(QString::number(baudRateOf(baudCode)));
    current_[1]->setText(parityText(format.parity));
    current_[2]->setText(QString::number(format.stopBits));
}

void CParamRegisterkarteSeriell::interfaceProgrammed(int baudCode) {
    baudValue_ = baudCode;
    setSelection({});
}

void CParamRegisterkarteSeriell::selectPowerOnMode(int index) {
    if (index >= 0 && index < static_cast<int>(powerOnRadios_.size())) {
        powerOnRadios_[static_cast<std::size_t>(index)]->setChecked(true);
        return;
    }
    powerOnGroup_->setExclusive(false);
    for (QRadioButton* radio : powerOnRadios_) {
        radio->setChecked(false);
    }
    powerOnGroup_->setExclusive(true);
}

bool CParamRegisterkarteSeriell::isModified() const {
    return parameters() != remembered_;
}

void CParamRegisterkarteSeriell::markUnchanged() {
    remembered_ = parameters();
}

void CParamRegisterkarteSeriell::applyRules() {
    ParamPageState state;
    state.features = features_;
    state.dtrSupported = dtrSupported_;
    state.mode = mode_;
    state.tcpClientActive = tcpActive_->isChecked();
    state.interfaceName = interfaceName_.toStdString();
    const ParamPageControls c = paramPageControls(state);

    modeRadios_[2]->setEnabled(c.mode2Enabled);
    modeRadios_[5]->setEnabled(c.mode5Enabled);
    modeRadios_[6]->setEnabled(c.mode6Enabled);
    powerOnRadios_[0]->setEnabled(c.programmingModeEnabled);
    powerOnRadios_[1]->setEnabled(c.programmingModeEnabled);
    powerOnRadios_[2]->setEnabled(c.silentReaderModeEnabled);
    sensorData_->setVisible(c.sensorDataVisible);
    timeout_->setEnabled(c.timeoutEnabled);
    cycleTime_->setEnabled(c.cycleTimeEnabled);
    interfaceGroup_->setVisible(c.interfaceGroupVisible);
    setBaud_->setEnabled(c.setListsEnabled);
    setParity_->setEnabled(c.setListsEnabled);
    setStopBits_->setEnabled(c.setListsEnabled);
    tcpGroup_->setVisible(c.tcpGroupVisible);
    addressLabel_->setEnabled(c.tcpFieldsEnabled);
    address_->setEnabled(c.tcpFieldsEnabled);
    portLabel_->setEnabled(c.tcpFieldsEnabled);
    port_->setEnabled(c.tcpFieldsEnabled);
    dtr_->setVisible(c.dtrVisible);
}

} // namespace veltra
