// The configuration sheet of a reader: the parameter page, the prefix page, one or two data
// pages, the suffix, pull-off and separator pages. It reads the reader's configuration when it
// opens, saves and loads it as a .mkr file and programs it back into the reader. Reading and
// programming run the configuration workflow with the pages as its source; the sheet adds the
// wait cursor, the progress line and the messages.
#pragma once

#include "config/ConfigurationModel.h"
#include "config/MkrFile.h"
#include "config/ui/CEinstellDlg.h"
#include "config/workflow/ConfigurationWorkflow.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace veltra {

class CDatenRegisterkarteSeriell;
class CEingabeBasisRegisterkarteSeriell;
class CParamRegisterkarteHID;
class CParamRegisterkarteSeriell;
class MkrFileChooser;
class ReaderLink;

class CSeriellEinstellDlg : public CEinstellDlg {
    Q_OBJECT
public:
    // `reader` is the main window's opened reader (handle 0 for none), whose handle the sheet
    // takes over and closes after reading, with the interface's baud-rate code and the reader's
    // DeviceFeatures word, which decides the pages. The sheet speaks to readers through `link`.
    CSeriellEinstellDlg(QWidget* parent, const OpenResult& reader, ReaderLink& link = qnLink());
    ~CSeriellEinstellDlg() override;

    // Reads the reader, then shows the sheet (and loads the file set with setFileToLoad).
    int exec() override;
    // A configuration file that exec loads as "Laden" would, once the reader has been read.
    void setFileToLoad(const QString& path) { fileToLoad_ = path; }

    // The reading sequence (run once when the sheet opens). False when no reader was reached;
    // the pages then keep their initial state.
    bool readReader();
    // "Programmieren": true when the reader was programmed.
    bool programReader();
    // "Speichern": true when a file was written.
    bool saveConfiguration();
    // "Laden": true when a file was loaded.
    bool loadConfiguration();
    // "Laden" with the file already chosen.
    bool loadConfigurationFrom(const QString& path);

    // The standard file dialog unless a test sets another chooser (the sheet does not own it).
    void setFileChooser(MkrFileChooser* chooser);

    std::uint32_t features() const { return features_; }
    const std::string& modelName() const { return model_.modelName(); }
    // The configuration the pages edit.
    const ConfigurationModel& model() const { return model_; }

    CParamRegisterkarteSeriell* parameterPage() const { return param_; }
    CParamRegisterkarteHID* hidParameterPage() const { return hidParam_; }
    CEingabeBasisRegisterkarteSeriell* prefixPage() const { return prefix_; }
    CDatenRegisterkarteSeriell* dataPage(int index) const { return index == 0 ? data1_ : data2_; }
    CEingabeBasisRegisterkarteSeriell* suffixPage() const { return suffix_; }
    CEingabeBasisRegisterkarteSeriell* pullOffPage() const { return pullOff_; }
    CEingabeBasisRegisterkarteSeriell* separatorPage() const { return separator_; }

protected:
    void onSave() override;
    void onLoad() override;
    void onProgram() override;

private:
    class PageSource;

    OpenResult openReader();
    WorkflowCallbacks callbacks();
    bool anythingModified() const;
    void markUnchanged();
    void setCaptionFile(const QString& path);
    // Takes every page over into the model with the checks of "Speichern"; false when a page
    // refused (its message has been shown).
    bool savePagesIntoModel();
    void loadPagesFromModel();

    ReaderLink* link_;
    int handle_;
    int baudCode_;
    std::uint32_t features_;
    // What the pages show, as last read, loaded or taken over.
    ConfigurationModel model_;

    CParamRegisterkarteSeriell* param_ = nullptr;
    CParamRegisterkarteHID* hidParam_ = nullptr;
    CEingabeBasisRegisterkarteSeriell* prefix_ = nullptr;
    CDatenRegisterkarteSeriell* data1_ = nullptr;
    CDatenRegisterkarteSeriell* data2_ = nullptr;
    CEingabeBasisRegisterkarteSeriell* suffix_ = nullptr;
    CEingabeBasisRegisterkarteSeriell* pullOff_ = nullptr;
    CEingabeBasisRegisterkarteSeriell* separator_ = nullptr;

    QString fileToLoad_;
    std::unique_ptr<MkrFileChooser> ownChooser_;
    MkrFileChooser* chooser_ = nullptr;
};

} // namespace veltra
