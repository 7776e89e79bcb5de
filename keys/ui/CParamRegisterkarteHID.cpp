#include "keys/ui/CParamRegisterkarteHID.h"

#include "config/ConfigChecks.h"
#include "config/DeviceFeatures.h"
#include "config/ui/SheetServices.h"
#include "keys/ComputerLayout.h"
#include "keys/ui/CLayoutErrorDlg.h"
#include "keys/ui/KeyboardStrings.h"
#include "keys/ui/LayoutKeyButton.h"
#include "keys/workflow/LayoutCheck.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitCursor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QVBoxLayout>

namespace veltra {
namespace {

constexpr int kStrCaption = 75300;
constexpr int kStrModes = 75301;
constexpr int kStrMode0 = 75302;
constexpr int kStrMode2 = 75304;
constexpr int kStrMode3 = 75305;
constexpr int kStrSensorOutput = 75309;
constexpr int kStrPowerOn = 75324;
constexpr int kStrProgrammingMode = 75325; // then reader mode, reader mode without output
constexpr int kStrCycleTime = 75328;
constexpr int kStrTimeout = 75329;
constexpr int kStrMs = 75330;
constexpr int kStrFunctionTest = 75331;
constexpr int kStrReadContents = 75332;

constexpr std::array<int, 3> kModes = {0, 2, 3};

// Key geometry in dialog units: 15 x 19 per key, 16 apart; the first key of the number row is
// 12 wide. Each row starts further right, as on a real keyboard.
constexpr int kKeyWidth = 15;
constexpr int kKeyHeight = 19;
constexpr int kKeyPitch = 16;
constexpr std::array<int, 4> kRowStart = {13, 29, 41, 35};
constexpr int kNumberRowSecondKey = 26;
constexpr int kFirstNumberKeyWidth = 12;

QLineEdit* digitField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), field));
    field->setMaxLength(5);
    field->setMaximumWidth(QFontMetrics(field->font()).horizontalAdvance(QLatin1Char('0')) * 9);
    return field;
}

int fieldNumber(const QLineEdit* field) {
    return fieldValue(field->text().toStdString());
}

QString settingKey() {
    return QString::fromLatin1(kLayoutWarningGroup) + QLatin1Char('/') +
           QString::fromLatin1(kLayoutWarningKey);
}

} // namespace

CParamRegisterkarteHID::CParamRegisterkarteHID(std::uint32_t features, QWidget* parent,
                                               ReaderLink& link)
    : QWidget(parent), link_(&link), features_(features) {
    setObjectName(QStringLiteral("hidParamPage"));
    auto* root = new QVBoxLayout(this);

    auto* modeBox = new QGroupBox(str(kStrModes), this);
    auto* modeLayout = new QVBoxLayout(modeBox);
    modeGroup_ = new QButtonGroup(this);
    const std::array<int, 3> modeTexts = {kStrMode0, kStrMode2, kStrMode3};
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        modeRadios_[i] = new QRadioButton(str(modeTexts[i]), modeBox);
        modeGroup_->addButton(modeRadios_[i], kModes[i]);
        modeLayout->addWidget(modeRadios_[i]);
        connect(modeRadios_[i], &QRadioButton::clicked, this, [this] { applyRules(); });
    }
    sensorOutput_ = new QCheckBox(str(kStrSensorOutput), modeBox);
    modeLayout->addWidget(sensorOutput_);
    connect(sensorOutput_, &QCheckBox::clicked, this, [this] { applyRules(); });
    root->addWidget(modeBox);

    auto* layoutBox = new QGroupBox(str(kStrKeyboardLayout), this);
    auto* layoutColumn = new QVBoxLayout(layoutBox);
    layoutColumn->addWidget(buildKeyboard(layoutBox));
    auto* layoutButtons = new QHBoxLayout;
    loadFromReader_ = new QPushButton(str(kStrLoadFromDevice), layoutBox);
    computerLayout_ = new QPushButton(str(kStrComputerSetting), layoutBox);
    layoutButtons->addWidget(loadFromReader_);
    layoutButtons->addWidget(computerLayout_);
    layoutButtons->addStretch();
    layoutColumn->addLayout(layoutButtons);
    warning_ = new QCheckBox(str(kStrShowLayoutWarning), layoutBox);
    layoutColumn->addWidget(warning_);
    root->addWidget(layoutBox);
    connect(loadFromReader_, &QPushButton::clicked, this, &CParamRegisterkarteHID::LoadFromReader);
    connect(computerLayout_, &QPushButton::clicked, this,
            &CParamRegisterkarteHID::UseComputerLayout);
    connect(warning_, &QCheckBox::clicked, this, [](bool checked) {
        QSettings settings;
        settings.setValue(settingKey(), checked ? 1 : 0);
        settings.sync();
    });

    auto* lower = new QHBoxLayout;
    auto* powerOnBox = new QGroupBox(str(kStrPowerOn), this);
    auto* powerOnLayout = new QVBoxLayout(powerOnBox);
    powerOnGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        powerOnRadios_[static_cast<std::size_t>(i)] =
            new QRadioButton(str(kStrProgrammingMode + i), powerOnBox);
        powerOnGroup_->addButton(powerOnRadios_[static_cast<std::size_t>(i)], i);
        powerOnLayout->addWidget(powerOnRadios_[static_cast<std::size_t>(i)]);
    }
    lower->addWidget(powerOnBox);

    auto* times = new QGridLayout;
    cycleTime_ = digitField(this);
    timeout_ = digitField(this);
    times->addWidget(new QLabel(str(kStrCycleTime), this), 0, 0);
    times->addWidget(cycleTime_, 0, 1);
    times->addWidget(new QLabel(str(kStrMs), this), 0, 2);
    times->addWidget(new QLabel(str(kStrTimeout), this), 1, 0);
    times->addWidget(timeout_, 1, 1);
    times->addWidget(new QLabel(str(kStrMs), this), 1, 2);
    times->setRowStretch(2, 1);
    lower->addLayout(times);
    lower->addStretch();
    root->addLayout(lower);

    auto* buttons = new QHBoxLayout;
    functionTest_ = new QPushButton(str(kStrFunctionTest), this);
    readContents_ = new QPushButton(str(kStrReadContents), this);
    buttons->addWidget(functionTest_);
    buttons->addWidget(readContents_);
    buttons->addStretch();
    root->addLayout(buttons);
    root->addStretch();
    connect(functionTest_, &QPushButton::clicked, this, [this] {
        if (sheetServices().openHidFunctionTest) {
            sheetServices().openHidFunctionTest(this);
        }
    });
    connect(readContents_, &QPushButton::clicked, this, [this] {
        if (sheetServices().openReport) {
            sheetServices().openReport(this);
        }
    });

    show(HidPageValues{});
    setLayout(layout_);
    markUnchanged();
}

QWidget* CParamRegisterkarteHID::buildKeyboard(QWidget* parent) {
    auto* keyboard = new QWidget(parent);
    keyboard->setObjectName(QStringLiteral("onScreenKeyboard"));
    // Dialog units of the page's font: a quarter of the average character width, an eighth of
    // the character height.
    const QFontMetricsF metrics(font());
    const double unitX = metrics.horizontalAdvance(QStringLiteral(
                             "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ")) /
                         52.0 / 4.0;
    const double unitY = metrics.height() / 8.0;
    auto px = [](double units) { return static_cast<int>(units + 0.5); };

    std::array<int, 4> inRow{};
    int right = 0;
    int bottom = 0;
    for (std::size_t i = 0; i < kOnScreenKeys.size(); ++i) {
        const OnScreenKey& key = kOnScreenKeys[i];
        const auto row = static_cast<std::size_t>(key.row);
        const int n = inRow[row]++;
        int x = kRowStart[row] + n * kKeyPitch;
        int width = kKeyWidth;
        if (row == 0) {
            x = n == 0 ? kRowStart[0] : kNumberRowSecondKey + (n - 1) * kKeyPitch;
            width = n == 0 ? kFirstNumberKeyWidth : kKeyWidth;
        }
        const int y = static_cast<int>(row) * kKeyHeight;
        auto* button = new LayoutKeyButton(QString::fromLatin1(key.label), keyboard);
        button->setObjectName(QStringLiteral("key%1").arg(key.scanCode));
        button->setGeometry(px((x - kRowStart[0]) * unitX), px(y * unitY), px(width * unitX),
                            px(kKeyHeight * unitY));
        right = std::max(right, button->geometry().right());
        bottom = std::max(bottom, button->geometry().bottom());
        keys_[i] = button;
    }
    keyboard->setFixedSize(right + 1, bottom + 1);
    return keyboard;
}

QString CParamRegisterkarteHID::caption() {
    return str(kStrCaption);
}

QRadioButton* CParamRegisterkarteHID::modeButton(int mode) const {
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        if (kModes[i] == mode) {
            return modeRadios_[i];
        }
    }
    return nullptr;
}

QRadioButton* CParamRegisterkarteHID::powerOnButton(int index) const {
    return index >= 0 && index <= 2 ? powerOnRadios_[static_cast<std::size_t>(index)] : nullptr;
}

void CParamRegisterkarteHID::show(const HidPageValues& values) {
    if (QRadioButton* radio = modeButton(hidShownMode(values.mode))) {
        radio->setChecked(true);
    }
    sensorOutput_->setChecked(values.sensorOutput);
    cycleTime_->setText(QString::number(values.cycleTimeMs));
    timeout_->setText(QString::number(values.timeoutMs));
    selectPowerOnMode(values.powerOnIndex);
    applyRules();
}

void CParamRegisterkarteHID::selectPowerOnMode(int index) {
    powerOnGroup_->setExclusive(false);
    for (int i = 0; i < 3; ++i) {
        powerOnRadios_[static_cast<std::size_t>(i)]->setChecked(i == index);
    }
    powerOnGroup_->setExclusive(true);
}

int CParamRegisterkarteHID::checkedMode() const {
    const int id = modeGroup_->checkedId();
    return id < 0 ? 0 : id;
}

HidPageValues CParamRegisterkarteHID::values() const {
    HidPageValues v;
    v.mode = checkedMode();
    v.sensorOutput = sensorOutput_->isChecked();
    v.cycleTimeMs = fieldNumber(cycleTime_);
    v.timeoutMs = fieldNumber(timeout_);
    v.powerOnIndex = powerOnGroup_->checkedId();
    return v;
}

void CParamRegisterkarteHID::applyRules() {
    const HidPageControls c = hidPageControls(checkedMode(), features_);
    modeButton(2)->setEnabled(c.mode2);
    powerOnRadios_[0]->setEnabled(c.programmingMode);
    powerOnRadios_[1]->setEnabled(c.readerMode);
    powerOnRadios_[2]->setEnabled(c.readerModeSilent);
    timeout_->setEnabled(c.timeout);
    cycleTime_->setEnabled(c.cycleTime);
}

bool CParamRegisterkarteHID::setFromParameterBlock(const Bytes& block, int powerOnValue) {
    HidPageValues v = values();
    const HidBlockResult result = hidValuesFromBlock(block, powerOnValue, v);
    if (!result.taken) {
        return false;
    }
    if (result.failure) {
        messageBox().show(this, result.failure->message(), IMessageBox::Kind::Warning);
    }
    show(v);
    markUnchanged();
    return !result.failure;
}

void CParamRegisterkarteHID::setParameters(const ReaderParameters& parameters) {
    show(hidValuesFromParameters(parameters));
}

bool CParamRegisterkarteHID::takeOver(ReaderParameters& out) {
    const HidPageValues v = values();
    if (const CheckResult failure = checkHidValues(v)) {
        messageBox().show(this, failure->message(), IMessageBox::Kind::Warning);
        QLineEdit* field = failure->field == CheckField::CycleTime ? cycleTime_ : timeout_;
        field->setFocus();
        field->selectAll();
        return false;
    }
    out = hidParameters(v);
    return true;
}

void CParamRegisterkarteHID::setLayout(const KeyLayout& layout) {
    layout_ = layout;
    for (std::size_t i = 0; i < kOnScreenKeys.size(); ++i) {
        keys_[i]->setText(QString::fromLatin1(keyButtonText(layout_, kOnScreenKeys[i].scanCode)));
    }
}

bool CParamRegisterkarteHID::CheckLayout(int handle) {
    KeyLayout layout = layout_;
    const bool read = checkReaderLayout(
        *link_, handle, layout, CLayoutErrorDlg::ShowLayoutWarning(), [this](int differences) {
            CLayoutErrorDlg question(differences, this);
            return question.exec() == QDialog::Accepted;
        });
    warning_->setChecked(CLayoutErrorDlg::ShowLayoutWarning());
    if (read) {
        setLayout(layout);
    }
    return read;
}

void CParamRegisterkarteHID::LoadFromReader() {
    WaitCursor wait;
    OpenResult reader =
        sheetServices().connectReader ? sheetServices().connectReader(this) : OpenResult{};
    if (reader.handle <= 0) {
        messageBox().show(this, str(kStrNoConnectionUsb), IMessageBox::Kind::Warning);
        return;
    }
    if (!CheckLayout(reader.handle)) {
        messageBox().show(this, str(kStrNoConnectionUsb), IMessageBox::Kind::Warning);
    }
    if (sheetServices().closeReader) {
        sheetServices().closeReader(reader.handle);
    }
}

void CParamRegisterkarteHID::UseComputerLayout() {
    KeyLayout computer;
    ComputerLayout(computer);
    setLayout(computer);
}

bool CParamRegisterkarteHID::isModified() const {
    return values() != remembered_ || layout_ != rememberedLayout_;
}

void CParamRegisterkarteHID::markUnchanged() {
    remembered_ = values();
    rememberedLayout_ = layout_;
}

void CParamRegisterkarteHID::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    warning_->setChecked(CLayoutErrorDlg::ShowLayoutWarning());
}

} // namespace veltra
