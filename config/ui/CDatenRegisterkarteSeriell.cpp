#include "config/ui/CDatenRegisterkarteSeriell.h"

#include "config/DeviceFeatures.h"
#include "config/MkrFile.h"
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
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <vector>

namespace veltra {
namespace {

// String numbers of the page's captions.
enum Caption : int {
    DisplayGroup = 75100,
    DisplayFirst = 75101, // six display modes in the order of their values
    CharacterCount = 75107,
    UsedBytes = 75108,
    ReverseBytes = 75109,
    ReverseNibbleBits = 75110,
    SwapNibbles = 75111,
    SingleBlocks = 75112,
    BlockSequence = 75113,
    ByteActive = 75114,
    StartBlock = 75115,
    LengthInBytes = 75116,
    Modulation = 75117,
    TypeId = 75118,
    TypeIdBefore = 75119,
    TypeIdAfter = 75120,
    Hex = 75121,
    FunctionTest = 75122,
    ReadContents = 75123,
    TitleSingle = 75124,
    TitleFirst = 75125,
    TitleSecond = 75126,
    FormatGroup = 75127,
    ChipGroup = 75128,
    BlockGroup = 75129,
    ReversalGroup = 75130,
    UsedBytesTo = 75131,
    BlockLabel = 75132,
    MaskTip = 75133,
    PasswordCaption = 75021,
};

constexpr int kDisplayModeCount = 6;

bool isDecimalDisplay(int mode) {
    return mode == 1 || mode == 3;
}

// Accepts only text the reader's 8-bit character set can carry.
class AnsiValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        return utf8ToAnsi(input.toStdString()) ? Acceptable : Invalid;
    }
};

// The 8-bit text of a field; a text that cannot be converted (the validator keeps it out) is
// passed on as UTF-8 so that the checks still see every byte.
std::string ansiText(const QLineEdit* edit) {
    const std::string utf8 = edit->text().toStdString();
    return utf8ToAnsi(utf8).value_or(utf8);
}

std::uint8_t byteValue(const QLineEdit* edit) {
    return static_cast<std::uint8_t>(std::clamp(fieldValue(edit->text().toStdString()), 0, 255));
}

QString characterOf(std::uint8_t c) {
    return c == 0 ? QString() : QString::fromStdString(ansiToUtf8(std::string(1, char(c))));
}

QString passwordText(const std::string& ansi) {
    return QString::fromStdString(ansiToUtf8(ansi));
}

QLineEdit* numberField(QWidget* parent, const char* name, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    const int width = edit->fontMetrics().horizontalAdvance(QString(maxLength + 2, u'0'));
    edit->setFixedWidth(width + 12);
    return edit;
}

// Places the shown widgets of a grid in two columns, filled top to bottom in their order, so
// that what the reader lacks leaves no gaps.
template <typename Widget>
void arrangeInColumns(const std::vector<Widget*>& widgets) {
    auto* grid = qobject_cast<QGridLayout*>(widgets.front()->parentWidget()->layout());
    std::vector<Widget*> shown;
    for (Widget* widget : widgets) {
        grid->removeWidget(widget);
        if (!widget->isHidden()) {
            shown.push_back(widget);
        }
    }
    const int rows = std::max(1, static_cast<int>(shown.size() + 1) / 2);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        grid->addWidget(shown[i], static_cast<int>(i) % rows, static_cast<int>(i) / rows);
    }
}

} // namespace

CDatenRegisterkarteSeriell::CDatenRegisterkarteSeriell(std::uint32_t features, bool firstPage,
                                                       QWidget* parent)
    : QWidget(parent), features_(features), firstPage_(firstPage) {
    buildControls();
    setWindowTitle(pageTitle());
    DataFormatRecord initial;
    initial.length = 8;
    setFromRecord(initial);
}

QString CDatenRegisterkarteSeriell::pageTitle() const {
    if (!has(feature::SecondDataPage)) {
        return str(TitleSingle);
    }
    return str(firstPage_ ? TitleFirst : TitleSecond);
}

void CDatenRegisterkarteSeriell::buildControls() {
    // Formats and chip modes.
    auto* formatGroup = new QGroupBox(str(FormatGroup), this);
    auto* formatGrid = new QGridLayout(formatGroup);
    const auto choiceTable = dataChoiceTable();
    for (int i = 0; i < kDataChoiceCount; ++i) {
        QString caption = QString::fromUtf8(choiceTable[i].caption);
        if (choiceTable[i].choice == DataChoice::SingleBlocks) {
            caption = str(SingleBlocks);
        } else if (choiceTable[i].choice == DataChoice::BlockSequence) {
            caption = str(BlockSequence);
        }
        auto* box = new QCheckBox(caption, formatGroup);
        box->setObjectName(QStringLiteral("choice%1").arg(i));
        choices_[i] = box;
        formatGrid->addWidget(box, i % 6, i / 6);
        connect(box, &QCheckBox::clicked, this,
                [this, i](bool checked) { choiceClicked(i, checked); });
    }

    // Chips, in their cycling order down the columns.
    auto* chipBox = new QGroupBox(str(ChipGroup), this);
    auto* chipGrid = new QGridLayout(chipBox);
    chipGroup_ = new QButtonGroup(this);
    chipGroup_->setExclusive(true);
    const auto chips = chipTable();
    const int chipRows = static_cast<int>((chips.size() + 1) / 2);
    for (std::size_t i = 0; i < chips.size(); ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(chips[i].name), chipBox);
        button->setObjectName(QStringLiteral("chip%1").arg(chips[i].code));
        chipGroup_->addButton(button, chips[i].code);
        chipButtons_.push_back(button);
        chipGrid->addWidget(button, static_cast<int>(i) % chipRows, static_cast<int>(i) / chipRows);
    }
    connect(chipGroup_, &QButtonGroup::idClicked, this, [this](int) { chipClicked(); });

    // Description of the selection with the password.
    infoBox_ = new QGroupBox(this);
    infoBox_->setObjectName(QStringLiteral("infoBox"));
    auto* infoLayout = new QVBoxLayout(infoBox_);
    for (std::size_t i = 0; i < kInfoLineCount; ++i) {
        infoLines_[i] = new QLabel(infoBox_);
        infoLines_[i]->setObjectName(QStringLiteral("infoLine%1").arg(i));
        infoLayout->addWidget(infoLines_[i]);
    }
    auto* passwordRow = new QHBoxLayout;
    passwordLabel_ = new QLabel(str(PasswordCaption), infoBox_);
    password_ = new QLineEdit(infoBox_);
    password_->setObjectName(QStringLiteral("password"));
    password_->setMaxLength(8);
    password_->setValidator(new AnsiValidator(password_));
    password_->setMinimumWidth(
        password_->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDDDDD")));
    passwordHex_ = new QLabel(str(Hex), infoBox_);
    passwordRow->addWidget(passwordLabel_);
    passwordRow->addWidget(password_);
    passwordRow->addWidget(passwordHex_);
    passwordRow->addStretch();
    infoLayout->addLayout(passwordRow);
    infoLayout->addStretch();

    // Blocks and byte masks; start block and length of a block sequence.
    auto* blockGroup = new QGroupBox(str(BlockGroup), this);
    auto* blockGrid = new QGridLayout(blockGroup);
    byteActive_ = new QCheckBox(str(ByteActive), blockGroup);
    byteActive_->setObjectName(QStringLiteral("byteActive"));
    blockGrid->addWidget(byteActive_, 0, 2, 1, 4);
    for (int row = 0; row < 4; ++row) {
        blockLabels_[row] = new QLabel(strf(BlockLabel, row + 1), blockGroup);
        blocks_[row] = numberField(blockGroup, "", 2);
        blocks_[row]->setObjectName(QStringLiteral("block%1").arg(row + 1));
        blockLabels_[row]->setBuddy(blocks_[row]);
        blockGrid->addWidget(blockLabels_[row], row + 1, 0);
        blockGrid->addWidget(blocks_[row], row + 1, 1);
        for (int bit = 0; bit < 4; ++bit) {
            auto* mask = new QCheckBox(blockGroup);
            mask->setObjectName(QStringLiteral("mask%1_%2").arg(row + 1).arg(bit));
            mask->setToolTip(strf(MaskTip, bit + 1));
            masks_[row][bit] = mask;
            blockGrid->addWidget(mask, row + 1, 2 + bit);
        }
    }
    startBlockLabel_ = new QLabel(str(StartBlock), blockGroup);
    startBlock_ = numberField(blockGroup, "startBlock", 3);
    lengthLabel_ = new QLabel(str(LengthInBytes), blockGroup);
    lengthInBytes_ = numberField(blockGroup, "lengthInBytes", 3);
    startBlockLabel_->setBuddy(startBlock_);
    lengthLabel_->setBuddy(lengthInBytes_);
    blockGrid->addWidget(startBlockLabel_, 5, 0);
    blockGrid->addWidget(startBlock_, 5, 1);
    blockGrid->addWidget(lengthLabel_, 6, 0);
    blockGrid->addWidget(lengthInBytes_, 6, 1);
    blockGrid->setColumnStretch(6, 1);
    blockGrid->setRowStretch(7, 1);
    connect(byteActive_, &QCheckBox::toggled, this, [this] { applyEnableRules(); });

    // Modulation.
    auto* modulationRow = new QHBoxLayout;
    modulationLabel_ = new QLabel(str(Modulation), this);
    modulation_ = new QComboBox(this);
    modulation_->setObjectName(QStringLiteral("modulation"));
    modulation_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    modulation_->setMinimumContentsLength(20);
    modulationLabel_->setBuddy(modulation_);
    modulationRow->addWidget(modulationLabel_);
    modulationRow->addWidget(modulation_, 1);
    connect(modulation_, &QComboBox::activated, this, [this](int index) {
        modSpeed_ = static_cast<std::uint8_t>(modulation_->itemData(index).toInt());
    });

    // Type identifiers.
    typeIdGroup_ = new QGroupBox(str(TypeId), this);
    auto* typeIdLayout = new QGridLayout(typeIdGroup_);
    typeIdBefore_ = new QLineEdit(typeIdGroup_);
    typeIdBefore_->setObjectName(QStringLiteral("typeIdBefore"));
    typeIdAfter_ = new QLineEdit(typeIdGroup_);
    typeIdAfter_->setObjectName(QStringLiteral("typeIdAfter"));
    for (QLineEdit* edit : {typeIdBefore_, typeIdAfter_}) {
        edit->setMaxLength(1);
        edit->setValidator(new AnsiValidator(edit));
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 12);
    }
    auto* beforeLabel = new QLabel(str(TypeIdBefore), typeIdGroup_);
    auto* afterLabel = new QLabel(str(TypeIdAfter), typeIdGroup_);
    beforeLabel->setBuddy(typeIdBefore_);
    afterLabel->setBuddy(typeIdAfter_);
    typeIdLayout->addWidget(beforeLabel, 0, 0);
    typeIdLayout->addWidget(typeIdBefore_, 0, 1);
    typeIdLayout->addWidget(afterLabel, 1, 0);
    typeIdLayout->addWidget(typeIdAfter_, 1, 1);
    typeIdLayout->setColumnStretch(2, 1);

    // Display of the data.
    auto* displayGroup = new QGroupBox(str(DisplayGroup), this);
    auto* displayLayout = new QVBoxLayout(displayGroup);
    auto* displayButtons = new QButtonGroup(this);
    for (int mode = 0; mode < kDisplayModeCount; ++mode) {
        auto* button = new QRadioButton(str(DisplayFirst + mode), displayGroup);
        button->setObjectName(QStringLiteral("display%1").arg(mode));
        displayButtons->addButton(button, mode);
        displayButtons_[mode] = button;
        displayLayout->addWidget(button);
    }
    connect(displayButtons, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) {
            applyEnableRules();
        }
    });

    auto* countGrid = new QGridLayout;
    auto* countLabel = new QLabel(str(CharacterCount), this);
    characterCount_ = numberField(this, "characterCount", 3);
    countLabel->setBuddy(characterCount_);
    usedBytesLabel_ = new QLabel(str(UsedBytes), this);
    usedBytesFrom_ = numberField(this, "usedBytesFrom", 3);
    usedBytesTo_ = numberField(this, "usedBytesTo", 3);
    usedBytesLabel_->setBuddy(usedBytesFrom_);
    countGrid->addWidget(countLabel, 0, 0);
    countGrid->addWidget(characterCount_, 0, 1);
    countGrid->addWidget(usedBytesLabel_, 1, 0);
    countGrid->addWidget(usedBytesFrom_, 1, 1);
    countGrid->addWidget(new QLabel(str(UsedBytesTo), this), 1, 2);
    countGrid->addWidget(usedBytesTo_, 1, 3);
    countGrid->setColumnStretch(4, 1);

    // Arrangement of the bits, with the example.
    auto* reversalGroup = new QGroupBox(str(ReversalGroup), this);
    auto* reversalLayout = new QVBoxLayout(reversalGroup);
    reverseBytes_ = new QCheckBox(str(ReverseBytes), reversalGroup);
    reverseBytes_->setObjectName(QStringLiteral("reverseBytes"));
    reverseNibbleBits_ = new QCheckBox(str(ReverseNibbleBits), reversalGroup);
    reverseNibbleBits_->setObjectName(QStringLiteral("reverseNibbleBits"));
    swapNibbles_ = new QCheckBox(str(SwapNibbles), reversalGroup);
    swapNibbles_->setObjectName(QStringLiteral("swapNibbles"));
    reversalExample_ = new QLabel(reversalGroup);
    reversalExample_->setObjectName(QStringLiteral("reversalExample"));
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(13);
    reversalExample_->setFont(courier);
    for (QCheckBox* box : {reverseBytes_, reverseNibbleBits_, swapNibbles_}) {
        reversalLayout->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this] { refreshReversal(); });
    }
    reversalLayout->addWidget(reversalExample_);

    // Buttons.
    functionTest_ = new QPushButton(str(FunctionTest), this);
    functionTest_->setObjectName(QStringLiteral("functionTest"));
    readContents_ = new QPushButton(str(ReadContents), this);
    readContents_->setObjectName(QStringLiteral("readContents"));
    connect(functionTest_, &QPushButton::clicked, this, [this] {
        const SheetServices& services = sheetServices();
        const auto& open =
            has(feature::HidReader) ? services.openHidFunctionTest : services.openFunctionTest;
        if (open) {
            open(this);
        }
    });
    connect(readContents_, &QPushButton::clicked, this, [this] {
        if (sheetServices().openReport) {
            sheetServices().openReport(this);
        }
    });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(functionTest_);
    buttonRow->addWidget(readContents_);

    // Three columns: what is read, how the blocks are chosen, how the data is shown.
    auto* left = new QVBoxLayout;
    left->addWidget(formatGroup);
    left->addWidget(chipBox);
    left->addStretch();
    auto* middle = new QVBoxLayout;
    middle->addWidget(blockGroup);
    middle->addLayout(modulationRow);
    middle->addWidget(typeIdGroup_);
    middle->addWidget(infoBox_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(displayGroup);
    right->addLayout(countGrid);
    right->addWidget(reversalGroup);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);
    auto* page = new QVBoxLayout(this);
    page->addLayout(columns, 1);
    page->addLayout(buttonRow);
}

// ---- Selection -----------------------------------------------------------------------------

void CDatenRegisterkarteSeriell::choiceClicked(int index, bool checked) {
    if (checked) {
        select(dataChoiceTable()[index].choice);
    } else {
        // The first page always outputs something; the second may output nothing.
        select(firstPage_ ? DataChoice::Unique : DataChoice::None);
    }
    refresh();
    emit selectionChanged();
}

void CDatenRegisterkarteSeriell::select(DataChoice choice) {
    selection_ = choice;
    for (int i = 0; i < kDataChoiceCount; ++i) {
        choices_[i]->setChecked(static_cast<int>(choice) == i);
    }
}

void CDatenRegisterkarteSeriell::chipClicked() {
    refresh();
    emit selectionChanged();
}

std::uint8_t CDatenRegisterkarteSeriell::selectedChip() const {
    const int id = chipGroup_->checkedId();
    return id < 0 ? chip::Hitag1 : static_cast<std::uint8_t>(id);
}

void CDatenRegisterkarteSeriell::setChip(std::uint8_t code) {
    QAbstractButton* button = chipGroup_->button(code);
    if (button == nullptr) {
        button = chipGroup_->button(chip::Hitag1);
    }
    button->setChecked(true);
}

int CDatenRegisterkarteSeriell::displayMode() const {
    for (int mode = 0; mode < kDisplayModeCount; ++mode) {
        if (displayButtons_[mode]->isChecked()) {
            return mode;
        }
    }
    return 0;
}

void CDatenRegisterkarteSeriell::setDisplayMode(int mode) {
    displayButtons_[mode >= 0 && mode < kDisplayModeCount ? mode : 0]->setChecked(true);
}

void CDatenRegisterkarteSeriell::setFirstDataPage(CDatenRegisterkarteSeriell* firstPage) {
    if (firstDataPage_ != nullptr) {
        disconnect(firstDataPage_, nullptr, this, nullptr);
    }
    firstDataPage_ = firstPage;
    if (firstPage != nullptr) {
        connect(firstPage, &CDatenRegisterkarteSeriell::selectionChanged, this,
                [this] { refresh(); });
    }
    refresh();
}

// ---- Refreshing the controls ---------------------------------------------------------------

void CDatenRegisterkarteSeriell::refresh() {
    applyFirstPageLimits();
    applyEnableRules();
    refreshModulation();
    refreshInfo();
    refreshReversal();
}

void CDatenRegisterkarteSeriell::applyVisibility() {
    const auto choiceTable = dataChoiceTable();
    for (int i = 0; i < kDataChoiceCount; ++i) {
        const std::uint32_t needed = choiceTable[i].visibleWith;
        choices_[i]->setVisible(needed == 0 || has(needed));
    }
    for (QRadioButton* button : chipButtons_) {
        const std::uint32_t needed =
            chipVisibleWith(static_cast<std::uint8_t>(chipGroup_->id(button)));
        button->setVisible(needed == 0 || has(needed));
    }
    arrangeInColumns(std::vector<QCheckBox*>(choices_.begin(), choices_.end()));
    arrangeInColumns(chipButtons_);
    typeIdGroup_->setVisible(has(feature::SecondDataPage));
    reverseBytes_->setVisible(has(feature::Em4569AndReversal));
    reverseNibbleBits_->setVisible(has(feature::Em4569AndReversal));
}

void CDatenRegisterkarteSeriell::applyFirstPageLimits() {
    if (firstPage_ || firstDataPage_ == nullptr) {
        return;
    }
    const DataChoice firstChoice = firstDataPage_->selection();
    // A fixed format is output once: not again on the second page.
    if (firstChoice != DataChoice::None && !isChipMode(firstChoice) && selection_ == firstChoice) {
        select(DataChoice::None);
    }
    // A chip the first page reads is not read again by the second.
    if (isChipMode(firstChoice)) {
        const std::uint8_t taken = firstDataPage_->selectedChip();
        if (selectedChip() == taken) {
            const auto chips = chipTable();
            const int start = chipIndex(taken);
            for (std::size_t step = 1; step < chips.size(); ++step) {
                const ChipEntry& next = chips[(start + step) % chips.size()];
                const std::uint32_t needed = chipVisibleWith(next.code);
                if (needed == 0 || has(needed)) {
                    setChip(next.code);
                    break;
                }
            }
        }
    }
}

void CDatenRegisterkarteSeriell::applyEnableRules() {
    const DataChoice firstChoice =
        (!firstPage_ && firstDataPage_ != nullptr) ? firstDataPage_->selection() : DataChoice::None;
    const bool firstUsesChip = isChipMode(firstChoice);
    const std::uint8_t firstChip = firstUsesChip ? firstDataPage_->selectedChip() : 0;

    // Formats: one the first page outputs is not offered on the second.
    const auto choiceTable = dataChoiceTable();
    for (int i = 0; i < kDataChoiceCount; ++i) {
        const DataChoice choice = choiceTable[i].choice;
        bool enabled = true;
        if (choice == DataChoice::BlockSequence) {
            enabled = has(feature::BlockSequence);
        } else if (!isChipMode(choice) && choice == firstChoice) {
            enabled = false;
        }
        choices_[i]->setEnabled(enabled);
    }

    // Chips: only in the chip modes.
    const bool chipMode = isChipMode(selection_);
    for (QRadioButton* button : chipButtons_) {
        const int code = chipGroup_->id(button);
        button->setEnabled(chipMode && !(firstUsesChip && code == firstChip));
    }

    // Display, character count and used bytes.
    const int mode = displayMode();
    if (isAnimalFormat(selection_)) {
        characterCount_->setEnabled(false);
        usedBytesFrom_->setEnabled(false);
        usedBytesTo_->setEnabled(false);
        for (QRadioButton* button : displayButtons_) {
            button->setEnabled(false);
        }
        reverseBytes_->setEnabled(false);
        reverseNibbleBits_->setEnabled(false);
        swapNibbles_->setEnabled(false);
    } else {
        characterCount_->setEnabled(true);
        displayButtons_[0]->setEnabled(true);
        displayButtons_[1]->setEnabled(true);
        displayButtons_[2]->setEnabled(has(feature::AsciiDisplay));
        displayButtons_[3]->setEnabled(has(feature::SecondDataPage));
        displayButtons_[4]->setEnabled(has(feature::SecondDataPage));
        displayButtons_[5]->setEnabled(has(feature::AsciiNoNulDisplay));
        const bool upper = has(feature::SecondDataPage) ||
                           (has(feature::DecimalByteRange) && isDecimalDisplay(mode));
        usedBytesTo_->setEnabled(upper);
        usedBytesFrom_->setEnabled(upper && has(feature::SecondDataPage));

        const bool wide = has(feature::SecondDataPage);
        const bool reversal = has(feature::Em4569AndReversal);
        const bool blocks =
            selection_ == DataChoice::SingleBlocks || selection_ == DataChoice::BlockSequence;
        const bool manchester = selection_ == DataChoice::Unique ||
                                selection_ == DataChoice::Zem16Bit ||
                                selection_ == DataChoice::Zem12Bit;
        reverseBytes_->setEnabled(wide || (reversal && blocks));
        reverseNibbleBits_->setEnabled(wide || (reversal && manchester));
        swapNibbles_->setEnabled(wide && has(feature::NibbleSwap));
    }

    // Blocks: single blocks with their masks, or start block and length of a block sequence.
    const bool sequence = selection_ == DataChoice::BlockSequence;
    const bool single = selection_ == DataChoice::SingleBlocks;
    startBlockLabel_->setVisible(sequence);
    startBlock_->setVisible(sequence);
    lengthLabel_->setVisible(sequence);
    lengthInBytes_->setVisible(sequence);
    byteActive_->setVisible(!sequence);
    const bool byteActiveEnabled = single && has(feature::ByteMask) && !isDecimalDisplay(mode);
    byteActive_->setEnabled(byteActiveEnabled);
    for (int row = 0; row < 4; ++row) {
        blockLabels_[row]->setVisible(!sequence);
        blocks_[row]->setVisible(!sequence);
        blocks_[row]->setEnabled(single);
        for (QCheckBox* mask : masks_[row]) {
            mask->setVisible(!sequence);
            mask->setEnabled(single && byteActiveEnabled && byteActive_->isChecked());
        }
    }
}

void CDatenRegisterkarteSeriell::refreshModulation() {
    const std::vector<std::uint8_t> codes =
        modulationChoices(selection_, selectedChip(), features_);
    bool same = modulation_->count() == static_cast<int>(codes.size());
    for (int i = 0; same && i < modulation_->count(); ++i) {
        same = modulation_->itemData(i).toInt() == codes[static_cast<std::size_t>(i)];
    }
    const QSignalBlocker blocker(modulation_);
    if (!same) {
        modulation_->clear();
        for (std::uint8_t code : codes) {
            modulation_->addItem(QString::fromUtf8(modulationName(code)), int(code));
        }
    }
    const int position = modulationListPosition(modSpeed_);
    modulation_->setCurrentIndex(position < modulation_->count() ? position : -1);
    modulation_->setEnabled(!codes.empty());
    modulationLabel_->setEnabled(!codes.empty());
}

void CDatenRegisterkarteSeriell::refreshInfo() {
    const DataInfoText info = dataInfoText(selection_, selectedChip());
    infoBox_->setTitle(QString::fromUtf8(info.caption));
    for (std::size_t i = 0; i < kInfoLineCount; ++i) {
        infoLines_[i]->setText(i < info.lineIds.size() ? str(info.lineIds[i]) : QString());
    }
    passwordLabel_->setVisible(info.showsPassword);
    password_->setVisible(info.showsPassword);
    passwordHex_->setVisible(info.showsPassword);
}

void CDatenRegisterkarteSeriell::refreshReversal() {
    std::uint8_t alignment = 0;
    alignment |= reverseBytes_->isChecked() ? kReverseByteOrder : 0;
    alignment |= reverseNibbleBits_->isChecked() ? kReverseNibbleBits : 0;
    alignment |= swapNibbles_->isChecked() ? kSwapNibbles : 0;
    reversalExample_->setText(QString::fromStdString(reversalExample(alignment)));
}

// ---- Record ----------------------------------------------------------------------------------

void CDatenRegisterkarteSeriell::setFromRecord(const DataFormatRecord& record) {
    const DataFormatRecord r = pageRecord(record, features_);
    setDisplayMode(r.display);

    for (QLineEdit* block : blocks_) {
        block->clear();
    }
    startBlock_->clear();
    lengthInBytes_->clear();
    byteActive_->setChecked(false);

    DataChoice choice = DataChoice::None;
    std::uint8_t chipCode = chip::Hitag1;
    if (!r.isFixedFormat()) {
        chipCode = chipIndex(r.chipCode()) >= 0 ? r.chipCode() : chip::Hitag1;
        if (r.registers[0] == kUidRegister) {
            choice = DataChoice::Uid;
        } else if (r.isBlockSequence()) {
            choice = DataChoice::BlockSequence;
            byteActive_->setChecked(true);
            startBlock_->setText(QString::number(r.registers[0]));
            lengthInBytes_->setText(QString::number(r.registers[1]));
        } else {
            choice = DataChoice::SingleBlocks;
            bool masked = false;
            for (std::size_t i = 0; i < 4; ++i) {
                if (r.registers[i] != kNoEntry) {
                    blocks_[i]->setText(QString::number(r.registers[i]));
                    masked = masked || r.byteMasks[i] != kNoEntry;
                }
            }
            // Masks that limit the bytes of a block are shown as such, so that taking the page
            // over keeps them.
            byteActive_->setChecked(masked);
        }
    } else {
        choice = choiceForFormat(formatForRegister(r.registers[0], firstPage_));
    }
    setChip(chipCode);
    for (std::size_t row = 0; row < 4; ++row) {
        for (int bit = 0; bit < 4; ++bit) {
            masks_[row][bit]->setChecked((r.byteMasks[row] & (1u << bit)) != 0);
        }
    }

    characterCount_->setText(QString::number(r.length));
    usedBytesFrom_->setText(QString::number(r.validBytesFrom));
    usedBytesTo_->setText(QString::number(r.validBytes));
    reverseBytes_->setChecked((r.alignment & kReverseByteOrder) != 0);
    reverseNibbleBits_->setChecked((r.alignment & kReverseNibbleBits) != 0);
    swapNibbles_->setChecked((r.alignment & kSwapNibbles) != 0);
    typeIdBefore_->setText(characterOf(r.typeIdLeft));
    typeIdAfter_->setText(characterOf(r.typeIdRight));
    modSpeed_ = r.modSpeed;
    if (chipCode == chip::Hitag2 && !r.isFixedFormat()) {
        password_->setText(passwordText(r.hitag2Password));
    } else if (chipCode == chip::ATA5577Pw && !r.isFixedFormat()) {
        password_->setText(passwordText(r.ata5577Password));
    } else {
        password_->clear();
    }

    select(choice);
    applyVisibility();
    refresh();
    emit selectionChanged();
}

DataFormatRecord CDatenRegisterkarteSeriell::getRecord() const {
    DataFormatRecord r;
    const int mode = displayMode();
    r.display = static_cast<std::uint8_t>(mode);
    r.length = byteValue(characterCount_);
    r.validBytesFrom = byteValue(usedBytesFrom_);
    r.validBytes = byteValue(usedBytesTo_);
    r.alignment =
        static_cast<std::uint8_t>((reverseBytes_->isChecked() ? kReverseByteOrder : 0) |
                                  (reverseNibbleBits_->isChecked() ? kReverseNibbleBits : 0) |
                                  (swapNibbles_->isChecked() ? kSwapNibbles : 0));
    const std::string before = ansiText(typeIdBefore_);
    const std::string after = ansiText(typeIdAfter_);
    r.typeIdLeft = before.empty() ? 0 : static_cast<std::uint8_t>(before[0]);
    r.typeIdRight = after.empty() ? 0 : static_cast<std::uint8_t>(after[0]);
    const int position = modulation_->currentIndex();
    r.modSpeed =
        position < 0 ? 0 : static_cast<std::uint8_t>(modulation_->itemData(position).toInt());

    const std::uint8_t chipCode = selectedChip();
    switch (selection_) {
    case DataChoice::None:
        r.active = 0;
        return r;
    case DataChoice::Uid:
        r.transponderType = chipCode;
        r.registers[0] = kUidRegister;
        break;
    case DataChoice::SingleBlocks: {
        r.transponderType = chipCode;
        const bool useMasks =
            byteActive_->isChecked() && has(feature::ByteMask) && !isDecimalDisplay(mode);
        std::size_t next = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            if (blocks_[i]->text().isEmpty()) {
                continue;
            }
            r.registers[next] = byteValue(blocks_[i]);
            std::uint8_t mask = kNoEntry;
            if (useMasks) {
                mask = 0;
                for (int bit = 0; bit < 4; ++bit) {
                    mask |= masks_[i][bit]->isChecked() ? static_cast<std::uint8_t>(1u << bit) : 0;
                }
            }
            r.byteMasks[next] = mask;
            ++next;
        }
        break;
    }
    case DataChoice::BlockSequence:
        r.transponderType = static_cast<std::uint8_t>(chipCode | kBlockSequenceFlag);
        r.registers[0] = byteValue(startBlock_);
        r.registers[1] = byteValue(lengthInBytes_);
        break;
    default:
        r.transponderType = 0;
        r.registers[0] = formatRegisterFor(formatCodeOf(selection_), r.modSpeed);
        break;
    }
    r.active = 1;
    if (!r.isFixedFormat()) {
        if (chipCode == chip::Hitag2) {
            r.hitag2Password = ansiText(password_);
        } else if (chipCode == chip::ATA5577Pw) {
            r.ata5577Password = ansiText(password_);
        }
    }
    return r;
}

void CDatenRegisterkarteSeriell::loadFromFile(const CIniEx& file, int sectionNumber) {
    setFromRecord(loadDataRecord(file, sectionNumber));
}

// ---- Checks ----------------------------------------------------------------------------------

DataPageEntries CDatenRegisterkarteSeriell::currentEntries() const {
    DataPageEntries e;
    switch (selection_) {
    case DataChoice::None:
        e.selection = DataSelection::None;
        break;
    case DataChoice::Uid:
        e.selection = DataSelection::Uid;
        break;
    case DataChoice::SingleBlocks:
        e.selection = DataSelection::SingleBlocks;
        break;
    case DataChoice::BlockSequence:
        e.selection = DataSelection::BlockSequence;
        break;
    default:
        e.selection = DataSelection::FixedFormat;
        break;
    }
    e.chip = isChipMode(selection_) ? selectedChip() : 0;
    for (std::size_t i = 0; i < 4; ++i) {
        e.blocks[i] = ansiText(blocks_[i]);
    }
    e.password = ansiText(password_);
    e.typeIdBefore = ansiText(typeIdBefore_);
    e.typeIdAfter = ansiText(typeIdAfter_);
    e.characterCount = fieldValue(characterCount_->text().toStdString());
    e.usedBytesFrom = fieldValue(usedBytesFrom_->text().toStdString());
    e.usedBytesTo = fieldValue(usedBytesTo_->text().toStdString());
    e.startBlock = ansiText(startBlock_);
    e.lengthInBytes = ansiText(lengthInBytes_);
    return e;
}

QWidget* CDatenRegisterkarteSeriell::fieldFor(CheckField field) const {
    switch (field) {
    case CheckField::Block1:
        return blocks_[0];
    case CheckField::Block2:
        return blocks_[1];
    case CheckField::Block3:
        return blocks_[2];
    case CheckField::Block4:
        return blocks_[3];
    case CheckField::Password:
        return password_;
    case CheckField::TypeIdBefore:
        return typeIdBefore_;
    case CheckField::TypeIdAfter:
        return typeIdAfter_;
    case CheckField::CharacterCount:
        return characterCount_;
    case CheckField::UsedBytesFrom:
        return usedBytesFrom_;
    case CheckField::UsedBytesTo:
        return usedBytesTo_;
    case CheckField::StartBlock:
        return startBlock_;
    case CheckField::LengthInBytes:
        return lengthInBytes_;
    default:
        return nullptr;
    }
}

CheckResult CDatenRegisterkarteSeriell::check() const {
    return checkDataPage(currentEntries());
}

bool CDatenRegisterkarteSeriell::takeOver(DataFormatRecord& out) {
    if (const CheckResult failure = check()) {
        // Bring the page to the front so that the technician sees the field named.
        for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
            if (auto* tabs = qobject_cast<QTabWidget*>(w); tabs != nullptr) {
                const int index = tabs->indexOf(this);
                if (index >= 0) {
                    tabs->setCurrentIndex(index);
                }
                break;
            }
        }
        messageBox().show(this, failure->message(), IMessageBox::Kind::Warning);
        if (QWidget* field = fieldFor(failure->field); field != nullptr) {
            field->setFocus(Qt::OtherFocusReason);
            if (auto* edit = qobject_cast<QLineEdit*>(field); edit != nullptr) {
                edit->selectAll();
            }
        }
        return false;
    }
    out = getRecord();
    // A reader without the EM4569 reads the chip's blocks as Hitag1.
    if (!out.isFixedFormat() && out.chipCode() == chip::EM4569 &&
        !has(feature::Em4569AndReversal)) {
        out.transponderType =
            static_cast<std::uint8_t>(chip::Hitag1 | (out.transponderType & kBlockSequenceFlag));
    }
    return true;
}

// ---- Changes -----------------------------------------------------------------------------------

void CDatenRegisterkarteSeriell::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!remembered_) {
        rememberValues();
    }
    refresh();
}

void CDatenRegisterkarteSeriell::rememberValues() {
    remembered_ = getRecord();
}

bool CDatenRegisterkarteSeriell::isModified() const {
    if (!remembered_ || checkDataPage(currentEntries())) {
        return false;
    }
    return forcedModified_ || getRecord() != *remembered_;
}

void CDatenRegisterkarteSeriell::setModified(bool modified) {
    forcedModified_ = modified;
    if (!modified || !remembered_) {
        rememberValues();
    }
}

} // namespace veltra
