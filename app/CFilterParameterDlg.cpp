#include "app/CFilterParameterDlg.h"

#include "config/workflow/FilterSettings.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace veltra {
namespace {

// Whether `text` is what the check accepts for one value.
bool fieldValid(const std::string& text, int check) {
    if (check == 211) {
        return text.size() == 2;
    }
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

} // namespace

CFilterParameterDlg::CFilterParameterDlg(FilterSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(str(75820));
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    const auto entries = filterEntries();
    for (std::size_t i = 0; i < fields_.size() && i < entries.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setMaxLength(2);
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 20);
        // The field takes two characters; a longer stored text shows its first two.
        edit->setText(QString::fromStdString(settings_.value(entries[i].key)));
        form->addRow(new QLabel(QString::fromLatin1(entries[i].label), this), edit);
        fields_[i] = edit;
    }

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(str(70102), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(str(70103), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFilterParameterDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CFilterParameterDlg::accept() {
    std::vector<std::string> texts;
    texts.reserve(fields_.size());
    for (const QLineEdit* edit : fields_) {
        // One byte per character, so that the length check counts what the technician typed;
        // anything beyond ASCII is no hex digit anyway.
        std::string text;
        for (const QChar c : edit->text()) {
            text += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7f';
        }
        texts.push_back(std::move(text));
    }
    const int check = checkFilterTexts(texts);
    if (check != 0) {
        messageBox().show(this, str(check), IMessageBox::Kind::Warning);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (!fieldValid(texts[i], check)) {
                fields_[i]->setFocus();
                fields_[i]->selectAll();
                break;
            }
        }
        return;
    }
    const auto entries = filterEntries();
    for (std::size_t i = 0; i < fields_.size() && i < entries.size(); ++i) {
        settings_.setValue(entries[i].key, texts[i]);
    }
    QDialog::accept();
}

} // namespace veltra
