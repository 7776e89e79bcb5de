#include "config/ui/CSeriellEinstellDlg.h"
#include "config/workflow/ProfileFilterSettings.h"

#include "config/DataPageRules.h"
#include "config/DeviceFeatures.h"
#include "config/ui/CDatenRegisterkarteSeriell.h"
#include "config/ui/CParamRegisterkarteSeriell.h"
#include "config/ui/DialogMkrFileChooser.h"
#include "config/ui/MkrFileChooser.h"
#include "config/ui/SheetServices.h"
#include "config/workflow/FilterSettings.h"
#include "config/workflow/ReaderConnector.h"
#include "config/workflow/ReaderReads.h"
#include "keys/AnsiText.h"
#include "keys/ui/CEingabeBasisRegisterkarteSeriell.h"
#include "keys/ui/CEndeRegisterkarteSeriell.h"
#include "keys/ui/CParamRegisterkarteHID.h"
#include "keys/ui/CPrefixRegisterkarteSeriell.h"
#include "keys/ui/CSuffixRegisterkarteSeriell.h"
#include "keys/ui/CTermixRegisterkarteSeriell.h"
#include "keys/workflow/DeviceLayout.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitCursor.h"
#include "widgets/WaitIndicator.h"

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

} // namespace

// The pages in front of the configuration model, as the programming sequence sees them. Each
// take-over runs the page's checks and saves the page into the model; a page that refuses has
// shown its message and put the focus on the field.
class CSeriellEinstellDlg::PageSource final : public ConfigurationSource {
public:
    explicit PageSource(CSeriellEinstellDlg& sheet) : sheet_(sheet), model_(sheet.model_) {}

    Bytes prefixBlock() override {
        model_.content().prefix = sheet_.prefix_->sequence();
        return model_.prefixBlock();
    }
    Bytes suffixBlock() override {
        model_.content().suffix = sheet_.suffix_->sequence();
        return model_.suffixBlock();
    }
    Bytes pullOffBlock() override {
        model_.content().pullOff = sheet_.pullOff_->sequence();
        return model_.pullOffBlock();
    }
    Bytes separatorBlock() override {
        model_.content().separator = sheet_.separator_->sequence();
        return model_.separatorBlock();
    }

    std::optional<WorkflowMessage> takeDataFormats() override {
        std::array<DataFormatRecord, 2>& records = model_.content().config.data;
        if (!sheet_.data1_->takeOver(records[0]) ||
            (sheet_.data2_ != nullptr && !sheet_.data2_->takeOver(records[1]))) {
            return refused();
        }
        return model_.takeDataFormats();
    }

    std::optional<WorkflowMessage> takeParameters() override {
        ReaderParameters& parameters = model_.content().config.parameters;
        if ((sheet_.param_ != nullptr && !sheet_.param_->takeOver(parameters)) ||
            (sheet_.hidParam_ != nullptr && !sheet_.hidParam_->takeOver(parameters))) {
            return refused();
        }
        if (sheet_.hidParam_ != nullptr) {
            model_.content().layout = sheet_.hidParam_->layout();
        }
        return model_.takeParameters();
    }
    int hidPowerOnMode() const override { return model_.hidPowerOnMode(); }

    const ReaderConfiguration& configuration() const override { return model_.configuration(); }

    void showCurrentInterface(int baudCode) override {
        if (sheet_.param_ != nullptr) {
            sheet_.param_->showCurrentInterface(baudCode);
        }
    }
    void baudRateProgrammed(int baudCode) override {
        model_.baudRateProgrammed(baudCode);
        if (sheet_.param_ != nullptr) {
            sheet_.param_->interfaceProgrammed(baudCode);
        }
    }
    void selectPowerOnMode(int index) override {
        model_.selectPowerOnMode(index);
        if (sheet_.param_ != nullptr) {
            sheet_.param_->selectPowerOnMode(index);
        }
        if (sheet_.hidParam_ != nullptr) {
            sheet_.hidParam_->selectPowerOnMode(index);
        }
    }
    std::optional<bool> dtrSupported() const override { return model_.dtrSupported(); }

    // A page refused its values; its message has been shown already.
    bool pageRefused() const { return pageRefused_; }

private:
    std::optional<WorkflowMessage> refused() {
        pageRefused_ = true;
        return WorkflowMessage{};
    }

    CSeriellEinstellDlg& sheet_;
    ConfigurationModel& model_;
    bool pageRefused_ = false;
};

CSeriellEinstellDlg::CSeriellEinstellDlg(QWidget* parent, const OpenResult& reader,
                                         ReaderLink& link)
    : CEinstellDlg(parent), link_(&link), handle_(reader.handle), baudCode_(reader.baudCode),
      features_(reader.features), model_(reader.features) {
    const std::uint32_t features = reader.features;
    const bool hid = (features & feature::HidReader) != 0;
    const bool twoOutputs = (features & feature::SecondDataPage) != 0;

    // Keyboard readers have a parameter page of their own, with their keyboard layout.
    if (hid) {
        hidParam_ = new CParamRegisterkarteHID(features, this, link);
        addPage(hidParam_, CParamRegisterkarteHID::caption());
    } else {
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
        closeReaderConnection(*link_, handle_);
        handle_ = 0;
    }
}

void CSeriellEinstellDlg::setFileChooser(MkrFileChooser* chooser) {
    chooser_ = chooser != nullptr ? chooser : ownChooser_.get();
}

int CSeriellEinstellDlg::exec() {
    readReader();
    if (!fileToLoad_.isEmpty()) {
        // Loaded once the sheet is on screen, so that its messages stand on the sheet.
        QMetaObject::invokeMethod(
            this, [this, path = fileToLoad_] { loadConfigurationFrom(path); },
            Qt::QueuedConnection);
        fileToLoad_.clear();
    }
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
    if (hidParam_ != nullptr) {
        callbacks.readHidSettings = [this](ReaderLink&, int handle) {
            return hidParam_->CheckLayout(handle);
        };
        callbacks.writeHidSettings = [this](ReaderLink& link, int handle) {
            return ProgramLayout(link, handle, hidParam_->layout());
        };
    }
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
    loadReading(model_, reading);

    // The pages load what the reader delivered; what it did not deliver stays as it is.
    const MkrContent& content = model_.content();
    if (param_ != nullptr) {
        param_->setParameters(content.config.parameters, model_.dtrSupported().value_or(false));
    }
    if (hidParam_ != nullptr) {
        // The page shows its range message for a block it cannot take; the model holds what
        // the page took, and the layout the page settled on after its question.
        if (reading.parameterBlock) {
            hidParam_->setFromParameterBlock(*reading.parameterBlock, reading.powerOnMode);
        }
        model_.content().layout = hidParam_->layout();
        hidParam_->markUnchanged();
    }
    if (reading.dataBlock) {
        data1_->setFromRecord(content.config.data[0]);
        data1_->setModified(false);
        if (data2_ != nullptr && reading.dataRecords >= 2) {
            data2_->setFromRecord(content.config.data[1]);
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
    setWindowTitle(windowTitle() + QStringLiteral(" <") + fromAnsi(model_.modelName()) +
                   QLatin1Char('>'));
    stepProgress(QString());
    return true;
}

bool CSeriellEinstellDlg::programReader() {
    WaitCursor wait;
    ProgrammingInput input;
    input.modelName = model_.modelName();
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

    if (result.baudChanged && sheetServices().storeBaudCode) {
        sheetServices().storeBaudCode(result.baudCode);
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

bool CSeriellEinstellDlg::savePagesIntoModel() {
    // The data pages first, on their entries as typed (a start block of 300 is refused, not
    // saved as 255): a page that fails stops the save with one message, whatever its own
    // complaint would be.
    if (data1_->check() || (data2_ != nullptr && data2_->check())) {
        messageBox().show(this, str(kStrDataPageInvalidOnSave), IMessageBox::Kind::Warning);
        return false;
    }
    // The parameters are checked before the file is touched, so that a refused page never
    // leaves a file with only part of the configuration in it.
    MkrContent& content = model_.content();
    if (param_ != nullptr && !param_->takeOver(content.config.parameters)) {
        return false;
    }
    if (hidParam_ != nullptr) {
        if (!hidParam_->takeOver(content.config.parameters)) {
            return false;
        }
        content.layout = hidParam_->layout();
    }
    content.prefix = prefix_->sequence();
    content.suffix = suffix_->sequence();
    content.pullOff = pullOff_->sequence();
    content.separator = separator_->sequence();
    content.config.data[0] = data1_->getRecord();
    if (data2_ != nullptr) {
        content.config.data[1] = data2_->getRecord();
    }
    if (const std::optional<WorkflowMessage> refusal = model_.checkForSaving()) {
        messageBox().show(this, QString::fromStdString(refusal->text), IMessageBox::Kind::Warning);
        return false;
    }
    return true;
}

void CSeriellEinstellDlg::loadPagesFromModel() {
    const MkrContent& content = model_.content();
    prefix_->setSequence(content.prefix);
    suffix_->setSequence(content.suffix);
    pullOff_->setSequence(content.pullOff);
    separator_->setSequence(content.separator);
    data1_->setFromRecord(content.config.data[0]);
    if (data2_ != nullptr) {
        data2_->setFromRecord(content.config.data[1]);
    }
    if (param_ != nullptr) {
        param_->setParameters(content.config.parameters, model_.dtrSupported().value_or(false));
    }
    if (hidParam_ != nullptr) {
        hidParam_->setParameters(content.config.parameters);
        if (content.layout) {
            hidParam_->setLayout(*content.layout);
        }
    }
}

bool CSeriellEinstellDlg::saveConfiguration() {
    if (!savePagesIntoModel()) {
        return false;
    }
    QSettings settings;
    const QString path = chooser_->saveFileName(this, storedMkrFolder(settings));
    if (path.isEmpty()) {
        return false;
    }
    rememberMkrFolder(settings, path);

    const MkrSaveResult saved = model_.saveFile(path.toStdString());
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
    return loadConfigurationFrom(path);
}

bool CSeriellEinstellDlg::loadConfigurationFrom(const QString& path) {
    QSettings settings;
    // A refused separator section keeps what the page shows.
    model_.content().separator = separator_->sequence();
    const MkrLoadResult loaded =
        model_.loadFile(path.toStdString(), [this](const std::string& fileModel,
                                                   const std::string& connectedModel) {
            return messageBox().askYesNo(this, otherModelQuestion(fileModel, connectedModel));
        });
    if (loaded.status != MkrLoadStatus::CannotOpen) {
        rememberMkrFolder(settings, path);
    }
    if (loaded.status == MkrLoadStatus::OtherModel) {
        return false;
    }
    if (loaded.status != MkrLoadStatus::Loaded) {
        messageBox().show(this, loadRefusalMessage(loaded, path.toStdString()),
                          IMessageBox::Kind::Warning);
        return false;
    }
    for (int message : loaded.messages) {
        messageBox().show(this, str(message), IMessageBox::Kind::Warning);
    }
    loadPagesFromModel();
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
           (param_ != nullptr && param_->isModified()) ||
           (hidParam_ != nullptr && hidParam_->isModified());
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
    if (hidParam_ != nullptr) {
        hidParam_->markUnchanged();
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
