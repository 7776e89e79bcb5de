#include "CSeriellEinstellDlg.h"

#include "CDatenRegisterkarteSeriell.h"
#include "CEingabeBasisRegisterkarteSeriell.h"
#include "CEndeRegisterkarteSeriell.h"
#include "CParamRegisterkarteSeriell.h"
#include "CPrefixRegisterkarteSeriell.h"
#include "CSuffixRegisterkarteSeriell.h"
#include "CTermixRegisterkarteSeriell.h"
#include "DataPageRules.h"
#include "DeviceFeatures.h"
#include "FilterSettings.h"
#include "MessageBox.h"
#include "MkrFileChooser.h"
#include "ReaderConnector.h"
#include "ReaderReads.h"
#include "SheetServices.h"
#include "StringTable.h"
#include "WaitIndicator.h"
#include "keys/AnsiText.h"

#include <QSettings>
#include <QTabWidget>

namespace veltra {
namespace {

// Steps the progress bar counts: every step the reading or the programming sequence reports.
constexpr int kReadingSteps = 13;
constexpr int kProgrammingSteps = 19;

QString fromAnsi(const std::string& text) {
    return QString::fromStdString(ansiToUtf8(text));
}

Bytes blockOf(const CAsciiArray& sequence) {
    Bytes bytes;
    AppendCodes(sequence, bytes);
    return bytes;
}

} // namespace

// The pages as the programming sequence sees them. Each take-over runs the page's checks; a page
// that refuses has shown its message and put the focus on the field.
class CSeriellEinstellDlg::PageSource final : public ConfigurationSource {
public:
    explicit PageSource(CSeriellEinstellDlg& sheet) : sheet_(sheet) {
        config_.parameters = sheet.readParameters_;
    }

    Bytes prefixBlock() override { return blockOf(sheet_.prefix_->sequence()); }
    Bytes suffixBlock() override { return blockOf(sheet_.suffix_->sequence()); }
    Bytes pullOffBlock() override { return blockOf(sheet_.pullOff_->sequence()); }
    Bytes separatorBlock() override { return blockOf(sheet_.separator_->sequence()); }

    std::optional<WorkflowMessage> takeDataFormats() override {
        if (!sheet_.data1_->takeOver(config_.data[0])) {
            return refused();
        }
        if (sheet_.data2_ != nullptr && !sheet_.data2_->takeOver(config_.data[1])) {
            return refused();
        }
        return std::nullopt;
    }

    std::optional<WorkflowMessage> takeParameters() override {
        if (sheet_.param_ != nullptr && !sheet_.param_->takeOver(config_.parameters)) {
            return refused();
        }
        return std::nullopt;
    }

    const ReaderConfiguration& configuration() const override { return config_; }

    void showCurrentInterface(int baudCode) override {
        if (sheet_.param_ != nullptr) {
            sheet_.param_->showCurrentInterface(baudCode);
        }
    }
    void selectPowerOnMode(int index) override {
        if (sheet_.param_ != nullptr) {
            sheet_.param_->selectPowerOnMode(index);
        }
    }
    std::optional<bool> dtrSupported() const override { return sheet_.dtrSupported_; }

    // A page refused its values; its message has been shown already.
    bool pageRefused() const { return pageRefused_; }

private:
    std::optional<WorkflowMessage> refused() {
        pageRefused_ = true;
        return WorkflowMessage{};
    }

    CSeriellEinstellDlg& sheet_;
    ReaderConfiguration config_;
    bool pageRefused_ = false;
};

CSeriellEinstellDlg::CSeriellEinstellDlg(QWidget* parent, const OpenResult& reader,
                                         ReaderLink& link)
    : CEinstellDlg(parent), link_(&link), handle_(reader.handle), baudCode_(reader.baudCode),
      features_(reader.features) {
    const std::uint32_t features = reader.features;
    readParameters_ = defaultReaderParameters();
    const bool hid = (features & feature::HidReader) != 0;
    const bool twoOutputs = (features & feature::SecondDataPage) != 0;

    // Keyboard readers keep their parameters on a page of their own, which this sheet does not
    // hold; they are programmed with the parameters read from them.
    if (!hid) {
        param_ = new CParamRegisterkarteSeriell(features, this);
        addPage(param_, CParamRegisterkarteSeriell::caption());
    }
    prefix_ = new CPrefixRegisterkarteSeriell(this);
    addPage(prefix_, prefix_->caption());
    data1_ = new CDatenRegisterkarteSeriell(features, true, this);
    addPage(data1_, data1_->pageTitle());
    if (twoOutputs) {
        data2_ = new CDatenRegisterkarteSeriell(features, false, this);
        data2_->setFirstDataPage(data1_);
        addPage(data2_, data2_->pageTitle());
    }
    suffix_ = new CSuffixRegisterkarteSeriell(this);
    addPage(suffix_, suffix_->caption());
    pullOff_ = new CEndeRegisterkarteSeriell(this);
    addPage(pullOff_, pullOff_->caption());
    separator_ = new CTermixRegisterkarteSeriell(this);
    addPage(separator_, separator_->caption());
    for (CEingabeBasisRegisterkarteSeriell* page : {prefix_, suffix_, pullOff_, separator_}) {
        page->setHidReader(hid);
    }
    if (param_ != nullptr) {
        param_->setDefaults();
    }

    ownChooser_ = std::make_unique<DialogMkrFileChooser>();
    chooser_ = ownChooser_.get();
}

CSeriellEinstellDlg::~CSeriellEinstellDlg() {
    // A connection handed over but never read (the sheet was not opened) is still ours.
    if (handle_ > 0) {
        closeReader(*link_, handle_);
        handle_ = 0;
    }
}

void CSeriellEinstellDlg::setFileChooser(MkrFileChooser* chooser) {
    chooser_ = chooser != nullptr ? chooser : ownChooser_.get();
}

int CSeriellEinstellDlg::exec() {
    readReader();
    return QDialog::exec();
}

OpenResult CSeriellEinstellDlg::openReader() {
    OpenResult result =
        sheetServices().connectReader ? sheetServices().connectReader(this) : OpenResult{};
    if (result.handle <= 0) {
        result.handle = kOpenFailed;
        return result;
    }
    // The identity is the one the reader gives now on this connection.
    const DeviceTypeReply type = readDeviceType(*link_, result.handle);
    result.identity = ReaderIdentity{};
    if (type.length >= 0) {
        result.identity.modelName = type.modelName;
        result.identity.typeText.assign(reinterpret_cast<const char*>(type.identity.data()), 3);
    }
    return result;
}

WorkflowCallbacks CSeriellEinstellDlg::callbacks() {
    WorkflowCallbacks callbacks;
    callbacks.progress = [this](WorkflowStep step) {
        stepProgress(QString::fromStdString(stepText(step)));
    };
    callbacks.askYesNo = [this](const std::string& question) {
        return messageBox().askYesNo(this, QString::fromStdString(question));
    };
    return callbacks;
}

bool CSeriellEinstellDlg::readReader() {
    WaitCursor wait;
    ReadingInput input;
    input.handle = handle_;
    input.features = features_;
    input.baudCode = baudCode_;
    input.open = [this] { return openReader(); };
    handle_ = 0; // the reading closes the connection it was given

    beginProgress(kReadingSteps);
    const ReaderReading reading = readConfiguration(*link_, input, callbacks());
    endProgress();
    if (!reading.connected) {
        stepProgress(QString());
        return false;
    }
    baudCode_ = reading.baudCode;
    modelName_ = reading.modelName;

    if (param_ != nullptr) {
        if (reading.parameterBlock && reading.parametersDecoded) {
            param_->setParameters(reading.parameters, reading.dtrSupported);
        } else {
            param_->setDefaults();
        }
    }
    if (reading.parameterBlock) {
        dtrSupported_ = reading.dtrSupported;
        if (reading.parametersDecoded) {
            readParameters_ = reading.parameters;
        } else if (param_ == nullptr) {
            // A keyboard reader's parameter block is written back as it was read, never
            // replaced by defaults.
            ReaderParameters parameters = defaultReaderParameters();
            if (decodeParameterBlock(*reading.parameterBlock, parameters)) {
                parameters.baudRate = reading.baudCode;
                readParameters_ = parameters;
            }
        }
    }
    if (reading.dataBlock) {
        data1_->setFromRecord(reading.configuration.data[0]);
        data1_->setModified(false);
        if (data2_ != nullptr && reading.dataRecords >= 2) {
            data2_->setFromRecord(reading.configuration.data[1]);
            data2_->setModified(false);
        }
    }
    const std::pair<const std::optional<Bytes>*, CEingabeBasisRegisterkarteSeriell*> sequences[] = {
        {&reading.prefix, prefix_},
        {&reading.suffix, suffix_},
        {&reading.pullOff, pullOff_},
        {&reading.separator, separator_}};
    for (const auto& [block, page] : sequences) {
        if (*block) {
            page->setBlock(**block);
        }
    }
    if (reading.hidMessage) {
        messageBox().show(this, QString::fromStdString(reading.hidMessage->text),
                          IMessageBox::Kind::Warning);
    }
    setWindowTitle(windowTitle() + QStringLiteral(" <") + fromAnsi(modelName_) + QLatin1Char('>'));
    stepProgress(QString());
    return true;
}

bool CSeriellEinstellDlg::programReader() {
    WaitCursor wait;
    ProgrammingInput input;
    input.modelName = modelName_;
    input.features = features_;
    input.baudCode = sheetServices().storedBaudCode ? sheetServices().storedBaudCode() : baudCode_;
    input.open = [this] { return openReader(); };
    const ProfileFilterSettings filters;
    input.filters = &filters;

    PageSource source(*this);
    beginProgress(kProgrammingSteps);
    const ProgrammingResult result = programConfiguration(*link_, source, input, callbacks());
    endProgress();
    stepProgress(QString());

    if (result.baudChanged) {
        if (sheetServices().storeBaudCode) {
            sheetServices().storeBaudCode(result.baudCode);
        }
        // The reader runs at the new rate now; the "Setzen" choice has been carried out.
        if (param_ != nullptr) {
            param_->clearNewInterface();
        }
    }
    if (result.success) {
        baudCode_ = result.baudCode != 0 ? result.baudCode : baudCode_;
    }
    // A page that refused its values has said why; every other end has its message.
    if (!source.pageRefused() && !result.message.text.empty()) {
        messageBox().show(this, QString::fromStdString(result.message.text),
                          result.success ? IMessageBox::Kind::Information
                                         : IMessageBox::Kind::Warning);
    }
    return result.success;
}

MkrContent CSeriellEinstellDlg::pageContent(const ReaderParameters& parameters) const {
    MkrContent content;
    content.modelName = modelName_;
    content.prefix = prefix_->sequence();
    content.suffix = suffix_->sequence();
    content.pullOff = pullOff_->sequence();
    content.separator = separator_->sequence();
    content.config.data[0] = data1_->getRecord();
    if (data2_ != nullptr) {
        content.config.data[1] = data2_->getRecord();
    }
    content.config.parameters = parameters;
    return content;
}

bool CSeriellEinstellDlg::saveConfiguration() {
    // The data pages first: a page that fails its checks stops the save with one message,
    // whatever its own complaint would be.
    std::vector<DataPageEntries> entries{dataPageEntriesOf(data1_->getRecord())};
    if (data2_ != nullptr) {
        entries.push_back(dataPageEntriesOf(data2_->getRecord()));
    }
    if (const std::optional<int> refusal = dataPagesBlockSaving(entries)) {
        messageBox().show(this, str(*refusal), IMessageBox::Kind::Warning);
        return false;
    }
    // The parameters are checked before the file is touched, so that a refused page never
    // leaves a file with only part of the configuration in it.
    ReaderParameters parameters = readParameters_;
    if (param_ != nullptr && !param_->takeOver(parameters)) {
        return false;
    }

    QSettings settings;
    const QString path = chooser_->saveFileName(this, storedMkrFolder(settings));
    if (path.isEmpty()) {
        return false;
    }
    rememberMkrFolder(settings, path);

    const MkrSaveResult saved =
        saveConfigurationFile(path.toStdString(), pageContent(parameters), features_);
    if (!saved.written) {
        messageBox().show(this, strf(kStrFileNotSaved, saved.errorText.c_str()),
                          IMessageBox::Kind::Error);
        return false;
    }
    setCaptionFile(path);
    markUnchanged();
    stepProgress(strf(75517, path.toUtf8().constData()));
    return true;
}

bool CSeriellEinstellDlg::loadConfiguration() {
    if (anythingModified() && messageBox().askYesNo(this, str(kStrSaveFirstQuestion)) &&
        !saveConfiguration()) {
        return false;
    }
    QSettings settings;
    const QString path = chooser_->openFileName(this, storedMkrFolder(settings));
    if (path.isEmpty()) {
        return false;
    }

    MkrContent content;
    content.modelName = modelName_;
    // A refused separator section keeps what the page shows.
    content.separator = separator_->sequence();
    content.config.parameters = defaultReaderParameters();
    const MkrLoadResult loaded = loadConfigurationFile(
        path.toStdString(), content, features_,
        [this](const std::string& fileModel, const std::string& connectedModel) {
            return messageBox().askYesNo(this, otherModelQuestion(fileModel, connectedModel));
        });
    if (loaded.status == MkrLoadStatus::CannotOpen) {
        messageBox().show(this, str(kStrValuesNotLoaded), IMessageBox::Kind::Warning);
        return false;
    }
    rememberMkrFolder(settings, path);
    if (loaded.status == MkrLoadStatus::OtherModel) {
        return false;
    }
    for (int message : loaded.messages) {
        messageBox().show(this, str(message), IMessageBox::Kind::Warning);
    }

    prefix_->setSequence(content.prefix);
    suffix_->setSequence(content.suffix);
    pullOff_->setSequence(content.pullOff);
    separator_->setSequence(content.separator);
    data1_->setFromRecord(content.config.data[0]);
    if (data2_ != nullptr) {
        data2_->setFromRecord(content.config.data[1]);
    }
    if (param_ != nullptr) {
        param_->setParameters(content.config.parameters, dtrSupported_.value_or(false));
    } else {
        readParameters_ = content.config.parameters;
    }
    setCaptionFile(path);
    markUnchanged();
    stepProgress(strf(75518, path.toUtf8().constData()));
    return true;
}

bool CSeriellEinstellDlg::anythingModified() const {
    // Every page counts: loading replaces the separator and the parameters too, so edits there
    // would be lost without the question just as well.
    return prefix_->isModified() || suffix_->isModified() || pullOff_->isModified() ||
           separator_->isModified() || data1_->isModified() ||
           (data2_ != nullptr && data2_->isModified()) ||
           (param_ != nullptr && param_->isModified());
}

void CSeriellEinstellDlg::markUnchanged() {
    for (CEingabeBasisRegisterkarteSeriell* page : {prefix_, suffix_, pullOff_, separator_}) {
        page->setModified(false);
    }
    data1_->setModified(false);
    if (data2_ != nullptr) {
        data2_->setModified(false);
    }
    if (param_ != nullptr) {
        param_->markUnchanged();
    }
}

void CSeriellEinstellDlg::setCaptionFile(const QString& path) {
    setWindowTitle(
        QString::fromStdString(captionWithFile(windowTitle().toStdString(), path.toStdString())));
}

void CSeriellEinstellDlg::onSave() {
    saveConfiguration();
}

void CSeriellEinstellDlg::onLoad() {
    loadConfiguration();
}

void CSeriellEinstellDlg::onProgram() {
    programReader();
}

} // namespace veltra
